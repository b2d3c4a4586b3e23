// Files dropped on a window (DragAcceptFiles, WM_DROPFILES, DragQueryFileA,
// DragFinish) over SDL's drop events. SDL reports a drop as a begin event,
// one event per file and a completion; the window gets one WM_DROPFILES with
// every file of the drop, as the shell sends it, if it accepts files.

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/win32/WindowState.h"
#include "platform/win32/windows.h"

struct HDROP__ {
  std::vector<std::string> files;
};

namespace win32 {

namespace {

// Files of drops still in progress, by window.
std::map<HWND, std::vector<std::string>>& pendingDrops() {
  static std::map<HWND, std::vector<std::string>> drops;
  return drops;
}

void deliver(WindowObject* w, std::vector<std::string>& files) {
  if (!files.empty() && (w->exStyle & WS_EX_ACCEPTFILES)) {
    HDROP drop = new HDROP__{files};
    post(w->handle, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
  }
  files.clear();
}

}  // namespace

void translateDrop(WindowObject* w, const SDL_DropEvent& event) {
  auto& drops = pendingDrops();
  switch (event.type) {
    case SDL_DROPBEGIN:
      drops[w->handle].clear();
      break;
    case SDL_DROPFILE: {
      auto pending = drops.find(w->handle);
      if (pending != drops.end()) {
        pending->second.push_back(event.file);
      } else {
        // A drop without a begin event is one file on its own.
        std::vector<std::string> single = {event.file};
        deliver(w, single);
      }
      break;
    }
    case SDL_DROPCOMPLETE: {
      auto pending = drops.find(w->handle);
      if (pending != drops.end()) {
        deliver(w, pending->second);
        drops.erase(pending);
      }
      break;
    }
    default:
      break;
  }
}

void forgetDrops() { pendingDrops().clear(); }

}  // namespace win32

void DragAcceptFiles(HWND window, BOOL accept) {
  win32::WindowObject* w = win32::lookup(window);
  if (!w) return;
  if (accept) w->exStyle |= WS_EX_ACCEPTFILES;
  else w->exStyle &= ~DWORD(WS_EX_ACCEPTFILES);
}

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR file, UINT size) {
  if (!drop) return 0;
  if (index == 0xFFFFFFFFu) return UINT(drop->files.size());
  if (index >= drop->files.size()) return 0;
  const std::string& name = drop->files[index];
  if (!file) return UINT(name.size());
  if (size == 0) return 0;
  UINT copied = UINT(std::min<size_t>(name.size(), size - 1));
  std::memcpy(file, name.data(), copied);
  file[copied] = '\0';
  return copied;
}

void DragFinish(HDROP drop) { delete drop; }
