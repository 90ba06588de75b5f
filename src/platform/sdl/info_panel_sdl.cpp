// The info panel drawn with Dear ImGui over the window's frame, laid out from its dialog units;
// its input comes from the panel host.
#include <backends/imgui_impl_opengl2.h>
#include <fontconfig/fontconfig.h>
#include <imgui.h>

#include <cmath>
#include <string>

#include "platform/platform.h"
#include "platform/sdl/cp1251.h"
#include "platform/sdl/sdl_backend.h"

namespace {

// The panel's layout in dialog units: the panel itself and the text box inside it.
constexpr int kPanelWidthUnits = 166, kPanelHeightUnits = 65;
constexpr int kBoxXUnits = 7, kBoxYUnits = 7, kBoxWidthUnits = 151, kBoxHeightUnits = 51;
constexpr float kFontPoints = 8.0f;
constexpr float kScreenDpi = 96.0f;

bool panelOpen = false;
ImVec2 panelSize, boxPosition, boxSize;
std::string panelText;  // UTF-8, converted once when set rather than at every frame

std::string sansFontFile() {
  std::string path;
  if (!FcInit()) return path;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("MS Sans Serif"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
      path = reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return path;
}

// Dialog units follow the dialog font: a horizontal unit is a quarter of the average letter
// width, a vertical unit an eighth of the font's height.
void layOutFromDialogUnits(ImFont* font) {
  const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  float averageWidth =
      std::round(font->CalcTextSizeA(font->FontSize, 1e9f, 0.0f, letters).x / 52.0f);
  float height = std::round(font->FontSize);
  auto toPixels = [&](int x, int y) {
    return ImVec2(std::round(x * averageWidth / 4.0f), std::round(y * height / 8.0f));
  };
  panelSize = toPixels(kPanelWidthUnits, kPanelHeightUnits);
  boxPosition = toPixels(kBoxXUnits, kBoxYUnits);
  boxSize = toPixels(kBoxWidthUnits, kBoxHeightUnits);
}

}  // namespace

bool openInfoPanel(HWND parent) {
  if (panelOpen) return true;
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // the panel keeps no settings file in the scene's folder
  std::string fontFile = sansFontFile();
  float pixels = kFontPoints * kScreenDpi / 72.0f;
  ImFont* font = nullptr;
  if (!fontFile.empty())
    font = io.Fonts->AddFontFromFileTTF(fontFile.c_str(), pixels, nullptr,
                                        io.Fonts->GetGlyphRangesCyrillic());
  if (font == nullptr) font = io.Fonts->AddFontDefault();
  io.Fonts->Build();  // the glyphs' widths are known only once the atlas is built
  layOutFromDialogUnits(font);
  ImGui::StyleColorsLight();
  ImGui::GetStyle().WindowRounding = 0.0f;

  if (!ImGui_ImplOpenGL2_Init() || !attachPanelHost(parent, 0, 0, static_cast<int>(panelSize.x),
                                                    static_cast<int>(panelSize.y))) {
    ImGui_ImplOpenGL2_Shutdown();
    ImGui::DestroyContext();
    return false;
  }
  panelOpen = true;
  return true;
}

void setInfoPanelText(const char* text) {
  panelText = cp1251ToUtf8(text != nullptr ? text : "");
}

void drawInfoPanel() {
  if (!panelOpen) return;
  ImGui_ImplOpenGL2_NewFrame();
  panelHostNewFrame();
  ImGui::NewFrame();

  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(panelSize);
  ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
  ImGui::Begin("info panel", nullptr,
               ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoBringToFrontOnFocus);
  ImGui::SetCursorPos(boxPosition);
  ImGui::PushStyleColor(ImGuiCol_ChildBg, IM_COL32(255, 255, 255, 255));  // an edit box is white
  ImGui::BeginChild("log", boxSize, true, ImGuiWindowFlags_HorizontalScrollbar);
  ImGui::TextUnformatted(panelText.c_str(), panelText.c_str() + panelText.size());
  ImGui::EndChild();
  ImGui::PopStyleColor();
  ImGui::End();
  ImGui::PopStyleVar();

  ImGui::Render();
  ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}
