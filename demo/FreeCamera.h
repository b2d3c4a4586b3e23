#pragma once
// The free camera F2 switches to: it orbits a centre (the scene's) with the
// left button dragged, zooms with the wheel and moves the orbit's centre with
// W/A/S/D (along the view, flat), Q/E (down, up). Home, or F2 again, gives
// the camera back to its path. It reads the window's messages as the main
// loop sees them; speeds follow the scene's size.

#include "platform/d3dx/d3dx9math.h"
#include "platform/win32/windows.h"

class SGCamera;

class FreeCamera {
 public:
  // F2, Home, the movement keys and the mouse; other messages pass by. The
  // camera is where a switch to the free camera starts from.
  void handle(const MSG& message, const SGCamera& camera, const D3DXVECTOR3& centre, float radius);
  bool active() const { return on; }
  // Moves by the keys held over `seconds` and by the mouse since the last
  // call, and places the camera.
  void apply(SGCamera& camera, float seconds);

 private:
  enum { KEY_W, KEY_A, KEY_S, KEY_D, KEY_Q, KEY_E, KEYS };
  void begin(const SGCamera& camera, const D3DXVECTOR3& centre, float radius);

  bool on = false;
  D3DXVECTOR3 centre{0.0f, 0.0f, 0.0f};
  float radius = 1.0f;  // the scene's, for speeds and limits
  float yaw = 0.0f;     // radians about the vertical, 0 looking along +z
  float pitch = 0.0f;   // radians, positive looking down
  float distance = 1.0f;
  bool held[KEYS] = {};
  bool dragging = false;
  int lastX = 0;
  int lastY = 0;
};
