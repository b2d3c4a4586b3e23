#include "demo/FreeCamera.h"

#include <algorithm>
#include <cmath>

#include "engine/scene/SGCamera.h"
#include "platform/win32/windowsx.h"

namespace {

const float maxPitch = 1.55f;     // just short of straight down or up
const float radiansPerPixel = 0.01f;
const float wheelStep = 0.85f;    // distance factor per notch towards the centre

int keyIndex(WPARAM key) {
  switch (key) {
    case 'W': return 0;
    case 'A': return 1;
    case 'S': return 2;
    case 'D': return 3;
    case 'Q': return 4;
    case 'E': return 5;
    default: return -1;
  }
}

}  // namespace

void FreeCamera::begin(const SGCamera& camera, const D3DXVECTOR3& sceneCentre, float sceneRadius) {
  on = true;
  centre = sceneCentre;
  radius = sceneRadius > 0.0f ? sceneRadius : 1.0f;
  // Where the camera stands now, as seen from the centre.
  D3DXVECTOR3 offset = camera.eye - centre;
  distance = std::max(D3DXVec3Length(&offset), radius * 0.01f);
  yaw = std::atan2(-offset.x, -offset.z);
  pitch = std::asin(std::clamp(offset.y / distance, -1.0f, 1.0f));
  dragging = false;
}

void FreeCamera::handle(const MSG& message, const SGCamera& camera, const D3DXVECTOR3& sceneCentre,
                        float sceneRadius) {
  const int x = GET_X_LPARAM(message.lParam), y = GET_Y_LPARAM(message.lParam);
  switch (message.message) {
    case WM_KEYDOWN:
    case WM_KEYUP: {
      const bool down = message.message == WM_KEYDOWN;
      if (down && message.wParam == VK_F2) {
        if (on) on = false;
        else begin(camera, sceneCentre, sceneRadius);
      } else if (down && message.wParam == VK_HOME) {
        on = false;
      } else if (int key = keyIndex(message.wParam); key >= 0) {
        held[key] = down;
      }
      break;
    }
    case WM_LBUTTONDOWN:
      dragging = true;
      lastX = x;
      lastY = y;
      break;
    case WM_LBUTTONUP:
      dragging = false;
      break;
    case WM_MOUSEMOVE:
      if (on && dragging && (message.wParam & MK_LBUTTON)) {
        yaw += float(x - lastX) * radiansPerPixel;
        pitch = std::clamp(pitch + float(y - lastY) * radiansPerPixel, -maxPitch, maxPitch);
      }
      lastX = x;
      lastY = y;
      break;
    case WM_MOUSEWHEEL:
      if (on) {
        const float notches = float(GET_WHEEL_DELTA_WPARAM(message.wParam)) / float(WHEEL_DELTA);
        distance = std::clamp(distance * std::pow(wheelStep, notches), radius * 0.01f, radius * 100.0f);
      }
      break;
    default:
      break;
  }
}

void FreeCamera::apply(SGCamera& camera, float seconds) {
  // Looking from the eye towards the centre.
  const D3DXVECTOR3 forward(std::sin(yaw) * std::cos(pitch), -std::sin(pitch), std::cos(yaw) * std::cos(pitch));
  const D3DXVECTOR3 flatForward(std::sin(yaw), 0.0f, std::cos(yaw));
  const D3DXVECTOR3 right(std::cos(yaw), 0.0f, -std::sin(yaw));
  const D3DXVECTOR3 upward(0.0f, 1.0f, 0.0f);
  // Half the scene's radius a second.
  const float step = radius * 0.5f * std::clamp(seconds, 0.0f, 0.25f);
  D3DXVECTOR3 move(0.0f, 0.0f, 0.0f);
  if (held[KEY_W]) move += flatForward;
  if (held[KEY_S]) move -= flatForward;
  if (held[KEY_D]) move += right;
  if (held[KEY_A]) move -= right;
  if (held[KEY_E]) move += upward;
  if (held[KEY_Q]) move -= upward;
  centre += move * step;
  camera.setTarget(centre);
  camera.setPosition(centre - forward * distance);
}
