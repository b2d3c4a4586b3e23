// Draws dialogs in the look of a desktop dialog: a light face, bordered push
// buttons with the default one outlined, check boxes, a white list box with
// the selected line highlighted, a drop-down combo box with its edit field,
// and dotted focus rectangles. Layout comes from the template in dialog
// units; the font is the template's face (or the desktop's sans-serif) at the
// display's scale.

#include "platform/win32/DialogView.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <strings.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "backends/imgui_impl_opengl3.h"
#include "backends/imgui_impl_sdl.h"
#include "imgui.h"
#include "imgui_freetype.h"
#include "platform/win32/Win32Sdl.h"

namespace win32 {

namespace {

// Desktop colours.
const ImU32 faceColour = IM_COL32(240, 240, 240, 255);
const ImU32 textColour = IM_COL32(0, 0, 0, 255);
const ImU32 grayTextColour = IM_COL32(160, 160, 160, 255);
const ImU32 windowColour = IM_COL32(255, 255, 255, 255);
const ImU32 highlightColour = IM_COL32(0, 120, 215, 255);
const ImU32 highlightTextColour = IM_COL32(255, 255, 255, 255);
const ImU32 buttonColour = IM_COL32(225, 225, 225, 255);
const ImU32 buttonBorderColour = IM_COL32(173, 173, 173, 255);
const ImU32 hotColour = IM_COL32(229, 241, 251, 255);
const ImU32 pressedColour = IM_COL32(204, 228, 247, 255);
const ImU32 pressedBorderColour = IM_COL32(0, 84, 153, 255);
const ImU32 disabledColour = IM_COL32(204, 204, 204, 255);
const ImU32 disabledBorderColour = IM_COL32(191, 191, 191, 255);
const ImU32 fieldBorderColour = IM_COL32(122, 122, 122, 255);
const ImU32 listBorderColour = IM_COL32(130, 135, 144, 255);
const ImU32 checkBorderColour = IM_COL32(51, 51, 51, 255);
const ImU32 glyphColour = IM_COL32(33, 33, 33, 255);

ImVec4 colour(int r, int g, int b) { return ImVec4(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f); }

// A scalable face for the template's typeface: fontconfig picks the first
// installed of the typeface, the faces Windows shows for the shell dialog
// font and their metric twins (so text fits the controls as laid out), and
// the desktop's sans-serif.
std::string findFontFile(const char* typeface) {
  if (!FcInit()) return {};
  FcPattern* pattern = FcPatternCreate();
  if (!pattern) return {};
  if (typeface && *typeface) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(typeface));
  for (const char* family : {"Tahoma", "Microsoft Sans Serif", "Liberation Sans", "Arimo", "sans-serif"}) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
  }
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  FcChar8* path = nullptr;
  if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path) {
    file = reinterpret_cast<const char*>(path);
  }
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  size_t dot = file.rfind('.');
  std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
  if (strcasecmp(ext.c_str(), "ttf") != 0 && strcasecmp(ext.c_str(), "otf") != 0 &&
      strcasecmp(ext.c_str(), "ttc") != 0)
    return {};
  return file;
}

// The whole file in GUI-owned memory (the font atlas frees it), or null.
void* loadFile(const std::string& file, int& size) {
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return nullptr;
  void* data = nullptr;
  if (std::fseek(f, 0, SEEK_END) == 0) {
    long n = std::ftell(f);
    if (n > 0 && n < (64 << 20) && std::fseek(f, 0, SEEK_SET) == 0) {
      data = IM_ALLOC(size_t(n));
      if (std::fread(data, 1, size_t(n), f) != size_t(n)) {
        IM_FREE(data);
        data = nullptr;
      } else {
        size = int(n);
      }
    }
  }
  std::fclose(f);
  return data;
}

// Button texts mark their mnemonic with '&' ("&&" is a literal ampersand).
std::string withoutMnemonic(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    else if (text[i] == '&') continue;
    out.push_back(text[i]);
  }
  return out;
}

void dottedRect(ImDrawList* dl, ImVec2 a, ImVec2 b, ImU32 col) {
  for (float x = a.x; x < b.x; x += 2) {
    dl->AddRectFilled(ImVec2(x, a.y), ImVec2(x + 1, a.y + 1), col);
    dl->AddRectFilled(ImVec2(x, b.y - 1), ImVec2(x + 1, b.y), col);
  }
  for (float y = a.y; y < b.y; y += 2) {
    dl->AddRectFilled(ImVec2(a.x, y), ImVec2(a.x + 1, y + 1), col);
    dl->AddRectFilled(ImVec2(b.x - 1, y), ImVec2(b.x, y + 1), col);
  }
}

void downArrow(ImDrawList* dl, ImVec2 centre, float size, ImU32 col) {
  float h = size * 0.5f;
  dl->AddTriangleFilled(ImVec2(centre.x - size, centre.y - h * 0.5f), ImVec2(centre.x + size, centre.y - h * 0.5f),
                        ImVec2(centre.x, centre.y + h), col);
}

// What Windows derives from a face at a point size: the pixel size to
// rasterise at (ascender to descender), and the character cell height.
struct FaceMetrics {
  float pixels = 0;
  int cellHeight = 0;
};

bool measureFace(const void* data, int size, float emPixels, FaceMetrics& out) {
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return false;
  FT_Face face = nullptr;
  bool ok = FT_New_Memory_Face(library, static_cast<const FT_Byte*>(data), size, 0, &face) == 0 &&
            face->units_per_EM > 0 && face->ascender - face->descender > 0;
  if (ok) {
    float em = float(face->units_per_EM);
    out.pixels = emPixels * float(face->ascender - face->descender) / em;
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    float ascent = os2 && os2->usWinAscent ? float(os2->usWinAscent) : float(face->ascender);
    float descent = os2 && os2->usWinAscent ? float(os2->usWinDescent) : float(-face->descender);
    out.cellHeight = int(std::lround(emPixels * ascent / em) + std::lround(emPixels * descent / em));
  }
  if (face) FT_Done_Face(face);
  FT_Done_FreeType(library);
  return ok && out.cellHeight > 0;
}

ImVec2 topLeft(const WindowObject* w) { return ImVec2(float(w->rect.left), float(w->rect.top)); }
ImVec2 bottomRight(const WindowObject* w) { return ImVec2(float(w->rect.right), float(w->rect.bottom)); }

}  // namespace

std::unique_ptr<DialogView> DialogView::create(const DialogResource& resource) {
  std::unique_ptr<DialogView> view(new DialogView);
  view->scale = dialogDisplayScale();
  view->context = ImGui::CreateContext();
  ImGui::SetCurrentContext(view->context);
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.LogFilename = nullptr;

  // The face's em is the point size at the display's dots per inch (8 points
  // at 96: 11 pixels, as Windows rounds it).
  float points = resource.pointSize ? float(resource.pointSize) : 8.0f;
  float emPixels = std::round(points * 96.0f * view->scale / 72.0f);
  std::string file = findFontFile(resource.typeface);
  int size = 0;
  void* data = file.empty() ? nullptr : loadFile(file, size);
  FaceMetrics metrics;
  if (data && !measureFace(data, size, emPixels, metrics)) {
    IM_FREE(data);
    data = nullptr;
  }
  if (data) {
    io.Fonts->FontBuilderIO = ImGuiFreeType::GetBuilderForFreeType();
    io.Fonts->FontBuilderFlags = ImGuiFreeTypeBuilderFlags_LightHinting;
    ImFontConfig config;
    config.OversampleH = 1;
    config.OversampleV = 1;
    view->font = io.Fonts->AddFontFromMemoryTTF(data, size, metrics.pixels, &config);
    if (view->font && !io.Fonts->Build()) {
      io.Fonts->Clear();
      view->font = nullptr;
    }
  }
  if (!view->font) {
    // No usable face: the GUI's own bitmap font, scaled.
    io.Fonts->FontBuilderIO = nullptr;
    ImFontConfig config;
    config.SizePixels = std::round(13.0f * view->scale);
    view->font = io.Fonts->AddFontDefault(&config);
    io.Fonts->Build();
    metrics.cellHeight = int(config.SizePixels);
  }

  // Dialog base units as Windows derives them: the average width of the 52
  // letters, and the cell height.
  const char* letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  int width = int(std::lround(view->font->CalcTextSizeA(view->font->FontSize, FLT_MAX, 0.0f, letters).x));
  view->unitX = std::max(1, (width / 26 + 1) / 2);
  view->unitY = std::max(1, metrics.cellHeight);
  view->lineHeight = view->unitY;
  ImGui::SetCurrentContext(nullptr);
  return view;
}

DialogView::~DialogView() {
  if (WindowObject* w = lookup(dialog)) w->eventHook = nullptr;
  if (context) {
    ImGui::SetCurrentContext(context);
    if (backendsReady) {
      SDL_GL_MakeCurrent(window, glContext);
      ImGui_ImplOpenGL3_Shutdown();
      ImGui_ImplSDL2_Shutdown();
    }
    ImGui::DestroyContext(context);
  }
  if (glContext) {
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(glContext);
  }
}

bool DialogView::attach(HWND handle) {
  dialog = handle;
  window = sdlWindowFromHandle(handle);
  WindowObject* w = lookup(handle);
  if (!w || !window || !(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) return false;

  // A 3.3 core context like the device's; the attributes are put back for
  // whoever creates the next context.
  int major = 0, minor = 0, profile = 0;
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major);
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor);
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  glContext = SDL_GL_CreateContext(window);
  const char* glsl = "#version 330 core";
  if (!glContext) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
    glContext = SDL_GL_CreateContext(window);
    glsl = "#version 130";
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, minor);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, profile);
  if (!glContext) return false;
  SDL_GL_MakeCurrent(window, glContext);
  SDL_GL_SetSwapInterval(1);

  ImGui::SetCurrentContext(context);
  if (!ImGui_ImplSDL2_InitForOpenGL(window, glContext)) {
    SDL_GL_DeleteContext(glContext);
    glContext = nullptr;
    return false;
  }
  if (!ImGui_ImplOpenGL3_Init(glsl)) {
    ImGui_ImplSDL2_Shutdown();
    SDL_GL_DeleteContext(glContext);
    glContext = nullptr;
    return false;
  }
  backendsReady = true;

  ImGuiStyle& style = ImGui::GetStyle();
  style = ImGuiStyle();
  ImGui::StyleColorsLight(&style);
  style.WindowPadding = ImVec2(0, 0);
  style.WindowRounding = 0;
  style.WindowBorderSize = 0;
  style.ChildRounding = 0;
  style.ChildBorderSize = 0;
  style.PopupRounding = 0;
  style.PopupBorderSize = 1;
  style.FramePadding = ImVec2(0, 0);
  style.ItemSpacing = ImVec2(0, 0);
  style.ItemInnerSpacing = ImVec2(0, 0);
  style.ScrollbarSize = std::round(17.0f * scale);
  style.ScrollbarRounding = 0;
  style.GrabMinSize = std::round(8.0f * scale);
  style.Colors[ImGuiCol_WindowBg] = colour(240, 240, 240);
  style.Colors[ImGuiCol_ChildBg] = colour(255, 255, 255);
  style.Colors[ImGuiCol_PopupBg] = colour(255, 255, 255);
  style.Colors[ImGuiCol_Border] = colour(100, 100, 100);
  style.Colors[ImGuiCol_Text] = colour(0, 0, 0);
  style.Colors[ImGuiCol_ScrollbarBg] = colour(240, 240, 240);
  style.Colors[ImGuiCol_ScrollbarGrab] = colour(205, 205, 205);
  style.Colors[ImGuiCol_ScrollbarGrabHovered] = colour(166, 166, 166);
  style.Colors[ImGuiCol_ScrollbarGrabActive] = colour(96, 96, 96);

  w->eventHook = [this](const SDL_Event& e) {
    ImGui::SetCurrentContext(context);
    ImGui_ImplSDL2_ProcessEvent(&e);
    ++eventsSinceFrame;
  };
  return true;
}

bool DialogView::showsDefault(const WindowObject* w) const {
  // The focused push button is the one Enter presses; otherwise the
  // template's default button.
  WindowObject* focus = lookup(GetFocus());
  bool focusOnButton = focus && focus->parent == dialog &&
                       (focus->kind == ControlKind::PushButton || focus->kind == ControlKind::DefPushButton);
  if (focusOnButton) return focus == w;
  return w->kind == ControlKind::DefPushButton;
}

bool DialogView::frame() {
  WindowObject* d = lookup(dialog);
  if (!glContext || !d) return false;
  ImGui::SetCurrentContext(context);
  SDL_GL_MakeCurrent(window, glContext);
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
  ImGui::NewFrame();

  ImGuiIO& io = ImGui::GetIO();
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(io.DisplaySize);
  ImGui::Begin("##dialog", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                   ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoNav |
                   ImGuiWindowFlags_NoScrollWithMouse);
  std::vector<HWND> children = d->children;
  for (HWND child : children) drawControl(child);
  ImGui::End();
  ImGui::Render();
  ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
  SDL_GL_SwapWindow(window);

  // Clicks act after the frame, so a dialog procedure may change anything.
  std::vector<std::function<void()>> pending;
  pending.swap(actions);
  for (auto& action : pending) action();
  bool busy = eventsSinceFrame > 0 || !pending.empty() || ImGui::IsAnyMouseDown();
  eventsSinceFrame = 0;
  return busy;
}

void DialogView::drawControl(HWND control) {
  WindowObject* w = lookup(control);
  if (!w || !(w->style & WS_VISIBLE)) return;
  if (w->rect.right <= w->rect.left || w->rect.bottom <= w->rect.top) return;
  ImGui::PushID(static_cast<const void*>(control));
  switch (w->kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: drawButton(w); break;
    case ControlKind::CheckBox:
    case ControlKind::AutoCheckBox: drawCheckBox(w); break;
    case ControlKind::Static: drawStatic(w); break;
    case ControlKind::ListBox: drawListBox(w); break;
    case ControlKind::ComboBox: drawComboBox(w); break;
    default: break;
  }
  ImGui::PopID();
}

void DialogView::drawButton(WindowObject* w) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  ImVec2 a = topLeft(w), b = bottomRight(w);
  ImGui::SetCursorScreenPos(a);
  bool clicked = ImGui::InvisibleButton("##button", ImVec2(b.x - a.x, b.y - a.y));
  bool hot = w->enabled && ImGui::IsItemHovered();
  bool held = w->enabled && ImGui::IsItemActive() && hot;
  HWND h = w->handle;
  if (w->enabled && ImGui::IsItemActivated()) actions.push_back([h] { SetFocus(h); });
  if (w->enabled && clicked) actions.push_back([h] { SendMessageA(h, BM_CLICK, 0, 0); });

  ImU32 fill = buttonColour, border = buttonBorderColour;
  if (!w->enabled) fill = disabledColour, border = disabledBorderColour;
  else if (held) fill = pressedColour, border = pressedBorderColour;
  else if (hot) fill = hotColour, border = highlightColour;
  else if (showsDefault(w)) border = highlightColour;
  dl->AddRectFilled(a, b, fill);
  dl->AddRect(a, b, border);
  if (w->enabled && !hot && !held && showsDefault(w)) dl->AddRect(ImVec2(a.x + 1, a.y + 1), ImVec2(b.x - 1, b.y - 1), border);

  std::string label = withoutMnemonic(w->text);
  ImVec2 size = ImGui::CalcTextSize(label.c_str());
  ImVec2 pos(std::floor(a.x + (b.x - a.x - size.x) / 2), std::floor(a.y + (b.y - a.y - size.y) / 2));
  ImVec4 clip(a.x + 1, a.y + 1, b.x - 1, b.y - 1);
  dl->AddText(ImGui::GetFont(), ImGui::GetFontSize(), pos, w->enabled ? textColour : grayTextColour, label.c_str(),
              nullptr, 0.0f, &clip);
  if (GetFocus() == w->handle) {
    float inset = std::round(3.0f * scale);
    dottedRect(dl, ImVec2(a.x + inset, a.y + inset), ImVec2(b.x - inset, b.y - inset), textColour);
  }
}

void DialogView::drawCheckBox(WindowObject* w) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  ImVec2 a = topLeft(w), b = bottomRight(w);
  ImGui::SetCursorScreenPos(a);
  bool clicked = ImGui::InvisibleButton("##check", ImVec2(b.x - a.x, b.y - a.y));
  bool hot = w->enabled && ImGui::IsItemHovered();
  bool held = w->enabled && ImGui::IsItemActive() && hot;
  HWND h = w->handle;
  if (w->enabled && ImGui::IsItemActivated()) actions.push_back([h] { SetFocus(h); });
  if (w->enabled && clicked) actions.push_back([h] { SendMessageA(h, BM_CLICK, 0, 0); });

  float box = std::round(13.0f * scale);
  ImVec2 p(a.x, std::floor(a.y + (b.y - a.y - box) / 2));
  ImVec2 q(p.x + box, p.y + box);
  ImU32 fill = !w->enabled ? disabledColour : held ? pressedColour : windowColour;
  ImU32 border = !w->enabled ? disabledBorderColour : hot ? highlightColour : checkBorderColour;
  dl->AddRectFilled(p, q, fill);
  dl->AddRect(p, q, border);
  if (w->checked) {
    float s = box / 13.0f;
    ImVec2 points[3] = {ImVec2(p.x + 2.5f * s, p.y + 6.5f * s), ImVec2(p.x + 5.0f * s, p.y + 9.0f * s),
                        ImVec2(p.x + 10.5f * s, p.y + 3.5f * s)};
    dl->AddPolyline(points, 3, w->enabled ? glyphColour : grayTextColour, 0, std::max(1.5f, 1.6f * scale));
  }
  std::string label = withoutMnemonic(w->text);
  ImVec2 size = ImGui::CalcTextSize(label.c_str());
  ImVec2 text(q.x + std::round(4.0f * scale), std::floor(a.y + (b.y - a.y - size.y) / 2));
  ImVec4 clip(a.x, a.y, b.x, b.y);
  dl->AddText(ImGui::GetFont(), ImGui::GetFontSize(), text, w->enabled ? textColour : grayTextColour, label.c_str(),
              nullptr, 0.0f, &clip);
  if (GetFocus() == w->handle) {
    ImVec2 fa(text.x - 1, text.y), fb(std::min(b.x, text.x + size.x + 2), std::min(b.y, text.y + size.y + 1));
    dottedRect(dl, fa, fb, textColour);
  }
}

void DialogView::drawStatic(WindowObject* w) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  ImVec2 a = topLeft(w), b = bottomRight(w);
  ImVec4 clip(a.x, a.y, b.x, b.y);
  dl->AddText(ImGui::GetFont(), ImGui::GetFontSize(), a, w->enabled ? textColour : grayTextColour,
              withoutMnemonic(w->text).c_str(), nullptr, b.x - a.x, &clip);
}

void DialogView::drawListBox(WindowObject* w) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  ImVec2 a = topLeft(w), b = bottomRight(w);
  float border = (w->style & WS_BORDER) ? 1.0f : 0.0f;
  if (border > 0) dl->AddRect(a, b, listBorderColour);
  ControlView& v = views[w->handle];
  HWND h = w->handle;
  float line = float(w->itemHeight);
  bool focused = GetFocus() == h;

  ImGui::SetCursorScreenPos(ImVec2(a.x + border, a.y + border));
  ImGui::BeginChild("##list", ImVec2(b.x - a.x - 2 * border, b.y - a.y - 2 * border), false,
                    (w->style & WS_VSCROLL) ? 0 : ImGuiWindowFlags_NoScrollbar);
  bool scrolledHere = false;
  if (w->topIndex != v.appliedTop) {
    ImGui::SetScrollY(float(w->topIndex) * line);
    v.appliedTop = w->topIndex;
    scrolledHere = true;
  }
  ImDrawList* cl = ImGui::GetWindowDrawList();
  float width = ImGui::GetContentRegionAvail().x;
  int count = int(w->items.size());
  for (int i = 0; i < count; ++i) {
    ImGui::PushID(i);
    ImVec2 p = ImGui::GetCursorScreenPos();
    ImGui::InvisibleButton("##line", ImVec2(std::max(1.0f, width), line));
    bool selected = i == w->curSel;
    if (w->enabled && ImGui::IsItemClicked(ImGuiMouseButton_Left)) {
      bool twice = ImGui::IsMouseDoubleClicked(ImGuiMouseButton_Left);
      actions.push_back([h, i, twice] {
        SetFocus(h);
        WindowObject* c = lookup(h);
        if (!c || !c->enabled || i >= int(c->items.size())) return;
        bool notify = c->style & LBS_NOTIFY;
        if (c->curSel != i) {
          c->curSel = i;
          if (notify) notifyParent(c, LBN_SELCHANGE);
        }
        c = lookup(h);
        if (c && twice && notify) notifyParent(c, LBN_DBLCLK);
      });
    }
    if (ImGui::IsItemVisible()) {
      ImVec2 q(p.x + width, p.y + line);
      if (selected) cl->AddRectFilled(p, q, w->enabled ? highlightColour : disabledColour);
      ImU32 col = !w->enabled ? grayTextColour : selected ? highlightTextColour : textColour;
      cl->AddText(ImVec2(p.x + std::round(2.0f * scale), p.y), col, w->items[size_t(i)].c_str());
      if (focused && (selected || (w->curSel < 0 && i == 0))) dottedRect(cl, p, q, selected ? textColour : textColour);
    }
    ImGui::PopID();
  }
  if (!scrolledHere) {
    int top = int(std::floor(ImGui::GetScrollY() / line + 0.5f));
    w->topIndex = top;
    v.appliedTop = top;
  }
  ImGui::EndChild();
}

void DialogView::drawComboBox(WindowObject* w) {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  ControlView& v = views[w->handle];
  HWND h = w->handle;
  float line = float(w->itemHeight);
  float fieldHeight = line + std::round(8.0f * scale);
  ImVec2 a = topLeft(w), b(float(w->rect.right), a.y + fieldHeight);
  float buttonWidth = std::round(17.0f * scale);
  ImVec2 buttonA(b.x - 1 - buttonWidth, a.y + 1), buttonB(b.x - 1, b.y - 1);
  bool focused = GetFocus() == h;

  ImGui::SetCursorScreenPos(a);
  ImGui::InvisibleButton("##edit", ImVec2(std::max(1.0f, buttonA.x - a.x), fieldHeight));
  bool editHot = w->enabled && ImGui::IsItemHovered();
  if (w->enabled && ImGui::IsItemActivated()) {
    actions.push_back([h, focused] {
      if (!focused) {
        SetFocus(h);  // selects the text
      } else if (WindowObject* c = lookup(h)) {
        c->editSelectAll = false;
        SendMessageA(h, CB_SHOWDROPDOWN, FALSE, 0);
      }
    });
  }
  ImGui::SetCursorScreenPos(ImVec2(buttonA.x, a.y));
  ImGui::InvisibleButton("##drop", ImVec2(buttonWidth + 1, fieldHeight));
  bool buttonHot = w->enabled && ImGui::IsItemHovered();
  if (w->enabled && ImGui::IsItemActivated()) {
    bool dropped = w->droppedDown;
    actions.push_back([h, dropped] {
      SetFocus(h);
      SendMessageA(h, CB_SHOWDROPDOWN, !dropped, 0);
    });
  }

  dl->AddRectFilled(a, b, w->enabled ? windowColour : faceColour);
  dl->AddRect(a, b, (editHot || buttonHot || w->droppedDown) && w->enabled ? highlightColour : fieldBorderColour);
  if (buttonHot || w->droppedDown) dl->AddRectFilled(buttonA, buttonB, w->droppedDown ? pressedColour : hotColour);
  downArrow(dl, ImVec2(std::floor((buttonA.x + buttonB.x) / 2), std::floor((buttonA.y + buttonB.y) / 2)),
            std::round(3.5f * scale), w->enabled ? glyphColour : grayTextColour);

  ImVec2 textPos(a.x + std::round(3.0f * scale), std::floor(a.y + (fieldHeight - ImGui::GetFontSize()) / 2));
  ImVec4 clip(a.x + 1, a.y + 1, buttonA.x - 1, b.y - 1);
  ImVec2 size = ImGui::CalcTextSize(w->text.c_str());
  ImU32 col = w->enabled ? textColour : grayTextColour;
  if (focused && w->editSelectAll && !w->text.empty()) {
    dl->PushClipRect(ImVec2(clip.x, clip.y), ImVec2(clip.z, clip.w), true);
    dl->AddRectFilled(ImVec2(textPos.x, textPos.y), ImVec2(textPos.x + size.x, textPos.y + size.y), highlightColour);
    dl->PopClipRect();
    col = highlightTextColour;
  }
  dl->AddText(ImGui::GetFont(), ImGui::GetFontSize(), textPos, col, w->text.c_str(), nullptr, 0.0f, &clip);
  if (focused && !(w->editSelectAll && !w->text.empty()) && std::fmod(ImGui::GetTime(), 1.06) < 0.53) {
    float x = std::min(textPos.x + size.x, clip.z - 1);
    dl->AddRectFilled(ImVec2(x, textPos.y), ImVec2(x + std::max(1.0f, std::floor(scale)), textPos.y + size.y + 1),
                      textColour);
  }

  // The drop-down list: as many lines as there are, up to the template's
  // height, below the field.
  int count = int(w->items.size());
  float listMax = float(w->rect.bottom - w->rect.top) - fieldHeight;
  float listHeight = std::max(line + 2, std::min(listMax, float(std::max(count, 1)) * line + 2));
  if (w->droppedDown && !v.popupOpen) ImGui::OpenPopup("##list");
  ImGui::SetNextWindowPos(ImVec2(a.x, b.y));
  ImGui::SetNextWindowSize(ImVec2(b.x - a.x, listHeight));
  ImGui::PushStyleColor(ImGuiCol_Border, colour(100, 100, 100));
  bool open = ImGui::BeginPopup("##list", ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                                              ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoNav);
  ImGui::PopStyleColor();
  if (open) {
    if (!w->droppedDown) {
      ImGui::CloseCurrentPopup();
    } else {
      ImDrawList* pl = ImGui::GetWindowDrawList();
      float width = ImGui::GetContentRegionAvail().x;
      int hot = -1;
      ImGui::SetCursorScreenPos(ImVec2(a.x + 1, b.y + 1));
      for (int i = 0; i < count; ++i) {
        ImGui::PushID(i);
        if (ImGui::InvisibleButton("##line", ImVec2(std::max(1.0f, width - 2), line))) {
          actions.push_back([h, i] {
            WindowObject* c = lookup(h);
            if (!c || i >= int(c->items.size())) return;
            bool changed = c->curSel != i;
            SendMessageA(h, CB_SETCURSEL, WPARAM(i), 0);
            if ((c = lookup(h))) c->editSelectAll = true;
            if (changed && (c = lookup(h))) notifyParent(c, CBN_SELCHANGE);
            SendMessageA(h, CB_SHOWDROPDOWN, FALSE, 0);
          });
        }
        if (ImGui::IsItemHovered()) hot = i;
        ImGui::PopID();
      }
      // The line under the mouse is lit; otherwise the selected one.
      v.hotItem = hot >= 0 ? hot : w->curSel;
      for (int i = 0; i < count; ++i) {
        ImVec2 p(a.x + 1, b.y + 1 + float(i) * line), q(a.x + width - 1, p.y + line);
        bool lit = i == v.hotItem;
        if (lit) pl->AddRectFilled(p, q, highlightColour);
        pl->AddText(ImVec2(p.x + std::round(2.0f * scale), p.y), lit ? highlightTextColour : textColour,
                    w->items[size_t(i)].c_str());
      }
    }
    ImGui::EndPopup();
  } else if (v.popupOpen && w->droppedDown) {
    // Closed by a click elsewhere.
    actions.push_back([h] { SendMessageA(h, CB_SHOWDROPDOWN, FALSE, 0); });
  }
  v.popupOpen = open && w->droppedDown;
  if (!w->droppedDown) v.hotItem = -1;
}

}  // namespace win32

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VANTREL_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(VANTREL_LEAK_CHECKED)
// fontconfig drops a block while parsing its configuration files, and SDL's
// session-bus connection under X11 keeps one, once per process each; the leak
// checker is told so that our own leaks still stand out.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
#endif
