// The launcher's one window, drawn every frame from a copy of App.
#include <imgui.h>

#include "app/app.h"
#include "app/style.h"

void applyStyle() {
  ImGuiStyle& s = ImGui::GetStyle();
  s.WindowPadding = ImVec2(16, 14);
  s.WindowRounding = 0;
  s.WindowBorderSize = 0;
  s.ChildRounding = 10;
  s.ChildBorderSize = 1;
  s.PopupRounding = 8;
  s.FramePadding = ImVec2(12, 6);
  s.FrameRounding = 8;
  s.ItemSpacing = ImVec2(10, 9);
  s.ScrollbarSize = 10;
  s.ScrollbarRounding = 3.5f;
  s.GrabRounding = 8;
  ImVec4* c = s.Colors;
  c[ImGuiCol_Text] = C_TEXT;
  c[ImGuiCol_TextDisabled] = C_MUT;
  c[ImGuiCol_WindowBg] = C_BG;
  c[ImGuiCol_ChildBg] = C_SURF;
  c[ImGuiCol_PopupBg] = C_SURF;
  c[ImGuiCol_Border] = C_EDGE;
  c[ImGuiCol_FrameBg] = C_CTRL;
  c[ImGuiCol_FrameBgHovered] = C_HOVER;
  c[ImGuiCol_FrameBgActive] = C_HOVER;
  c[ImGuiCol_ScrollbarBg] = C_BG;
  c[ImGuiCol_ScrollbarGrab] = ImVec4(46 / 255.f, 58 / 255.f, 82 / 255.f, 1.f);
  c[ImGuiCol_ScrollbarGrabHovered] = ImVec4(61 / 255.f, 77 / 255.f, 107 / 255.f, 1.f);
  c[ImGuiCol_ScrollbarGrabActive] = ImVec4(61 / 255.f, 77 / 255.f, 107 / 255.f, 1.f);
  c[ImGuiCol_CheckMark] = C_GO;
  c[ImGuiCol_Button] = C_CTRL;
  c[ImGuiCol_ButtonHovered] = C_HOVER;
  c[ImGuiCol_ButtonActive] = C_CTRLB;
  c[ImGuiCol_Separator] = C_EDGE;
}

namespace {

void logo() {
  ImDrawList* dl = ImGui::GetWindowDrawList();
  ImVec2 p = ImGui::GetCursorScreenPos();
  ImU32 col = ImGui::GetColorU32(C_STOP);
  dl->AddRectFilled(ImVec2(p.x, p.y + 10), ImVec2(p.x + 3, p.y + 22), col, 1.5f);
  dl->AddRectFilled(ImVec2(p.x + 5, p.y + 5), ImVec2(p.x + 8, p.y + 22), col, 1.5f);
  dl->AddRectFilled(ImVec2(p.x + 10, p.y + 10), ImVec2(p.x + 13, p.y + 22), col, 1.5f);
  ImGui::Dummy(ImVec2(21, 24));
  ImGui::SameLine();
}

void logPane() {
  ImGui::BeginChild("log", ImVec2(0, 0), true);
  ImGui::PushTextWrapPos(0.0f);
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    for (const std::string& line : g_app.log) {
      if (!line.empty() && line[0] == '!')
        ImGui::TextColored(C_STOP, "%s", line.c_str());
      else if (!line.empty() && line[0] == ' ')
        ImGui::TextColored(C_MUT, "%s", line.c_str());
      else
        ImGui::TextUnformatted(line.c_str());
    }
  }
  ImGui::PopTextWrapPos();
  if (ImGui::GetScrollY() >= ImGui::GetScrollMaxY() - 1.0f) ImGui::SetScrollHereY(1.0f);
  ImGui::EndChild();
}

}  // namespace

void draw(ImFont* titleFont) {
  const ImGuiViewport* vp = ImGui::GetMainViewport();
  ImGui::SetNextWindowPos(vp->WorkPos);
  ImGui::SetNextWindowSize(vp->WorkSize);
  ImGui::Begin("##orvl", nullptr,
               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                   ImGuiWindowFlags_NoSavedSettings);
  logo();
  if (titleFont) ImGui::PushFont(titleFont);
  ImGui::TextUnformatted("Orvane");
  if (titleFont) ImGui::PopFont();
  ImGui::Dummy(ImVec2(0, 4));
  ImGui::Separator();
  ImGui::Dummy(ImVec2(0, 4));
  logPane();
  ImGui::End();
}
