// The launcher's one window, drawn every frame from a snapshot of App. What to
// show is decided in window_model; this file only renders it, top to bottom.
#include <imgui.h>

#include "app/actions.h"
#include "app/app.h"
#include "app/style.h"
#include "app/window_jobs.h"
#include "app/window_model.h"
#include "host/discovery.h"
#include "host/paths.h"
#include "host/process.h"

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

ImVec4 colour(Tone t) {
  switch (t) {
    case Tone::Go: return C_GO;
    case Tone::Stop: return C_STOP;
    case Tone::Amber: return C_AMBER;
    case Tone::Muted: return C_MUT;
    case Tone::Plain: break;
  }
  return C_TEXT;
}

void gap(float h) { ImGui::Dummy(ImVec2(0, h)); }

void dot(Tone t) {
  ImVec2 p = ImGui::GetCursorScreenPos();
  float h = ImGui::GetTextLineHeight();
  ImGui::GetWindowDrawList()->AddCircleFilled(ImVec2(p.x + 6, p.y + h * 0.5f), 5.0f,
                                              ImGui::GetColorU32(colour(t)), 16);
  ImGui::Dummy(ImVec2(18, h));
  ImGui::SameLine();
}

bool smallButton(const char* label, bool enabled) {
  ImGui::BeginDisabled(!enabled);
  bool pressed = ImGui::Button(label, ImVec2(0, 26));
  ImGui::EndDisabled();
  return pressed;
}

bool bigButton(const char* label, float w, bool enabled) {
  ImGui::BeginDisabled(!enabled);
  bool pressed = ImGui::Button(label, ImVec2(w, 40));
  ImGui::EndDisabled();
  return pressed;
}

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

void header(ImFont* titleFont, const Snapshot& s) {
  logo();
  if (titleFont) ImGui::PushFont(titleFont);
  ImGui::TextUnformatted("Orvane");
  if (titleFont) ImGui::PopFont();
  ImGui::SameLine();
  ImGui::TextColored(C_MUT, "%s", headerText(s).c_str());
  if (s.selfUpdated) {
    ImGui::SameLine();
    ImGui::TextColored(C_AMBER, "- updated");
    ImGui::SameLine();
    if (smallButton("Restart now", !s.busy) && orvl::spawnSelf(restartArgs(s.host, s.port)))
      g_app.quitRequested = true;
  }
}

// Label, dot and text of a status row; returns after the text, on its line.
void statusRow(const StatusRow& r) {
  ImGui::TextColored(C_MUT, "%s", r.label);
  ImGui::SameLine(92);
  dot(r.dot);
  if (r.textTone == Tone::Plain)
    ImGui::TextUnformatted(r.text.c_str());
  else
    ImGui::TextColored(colour(r.textTone), "%s", r.text.c_str());
  if (!r.note.empty()) {
    ImGui::SameLine();
    ImGui::TextColored(C_AMBER, "%s", r.note.c_str());
  }
}

bool rowButton(const StatusRow& r) {
  ImGui::SameLine(ImGui::GetWindowWidth() - 110);
  return smallButton(r.button.c_str(), r.buttonEnabled);
}

void statusRows(const Snapshot& s) {
  const StatusRow x = xplaneRow(s);
  statusRow(x);
  if (rowButton(x)) run("choosing the X-Plane folder", browseJob);
  const std::vector<std::string>& probes = orvl::findRootProbed();
  if (s.root.empty() && !probes.empty()) {
    ImGui::SetCursorPosX(92);
    if (ImGui::TreeNode("Where Orvane looked")) {
      for (const std::string& p : probes) ImGui::BulletText("%s", p.c_str());
      ImGui::TreePop();
    }
  }

  const StatusRow p = pluginRow(s);
  statusRow(p);
  if (!p.button.empty() && rowButton(p))
    run(s.pluginInstalled ? "updating the plugin" : "installing the plugin", pluginJob);

  statusRow(serverRow(s));
  statusRow(sceneryRow(s));
  statusRow(simRow(s));
  statusRow(bridgeRow(s));
}

void options(const Snapshot& s) {
  bool suppress = s.suppressEnabled;
  if (ImGui::Checkbox("Suppress scenery lights", &suppress)) {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    g_app.suppressEnabled = suppress;
  }
  bool restore = s.restoreOnQuit;
  if (ImGui::Checkbox("Restore original scenery lights on X-Plane quit", &restore)) {
    {
      std::lock_guard<std::mutex> lk(g_app.mutex);
      g_app.restoreOnQuit = restore;
    }
    orvl::rememberQuitRestore(restore);
  }
}

void staleNotice(const Snapshot& s) {
  if (s.staleBackups.empty()) return;
  gap(4);
  dot(Tone::Amber);
  ImGui::TextWrapped("%s", staleNoticeText(s).c_str());
  for (const std::string& f : s.staleBackups) ImGui::TextColored(C_MUT, "   %s.orvane-orig", f.c_str());
  if (smallButton("Delete the old copies", !s.busy)) run("clearing old copies", oldCopiesJob);
  ImGui::SameLine();
  ImGui::TextColored(C_MUT, "(your current scenery is not touched - only Orvane's own copy is removed)");
}

void actionButtons(const Snapshot& s) {
  gap(4);
  if (bigButton("Launch X-Plane", 190, launchEnabled(s))) run("preparing and launching", doLaunch);
  ImGui::SameLine();
  if (bigButton("Update & Suppress", 180, suppressButtonEnabled(s)))
    run("suppressing", [] { doSuppress(); });
  ImGui::SameLine();
  if (bigButton("Restore originals", 170, restoreEnabled(s))) run("restoring", [] { doRestore(); });
  if (s.busy) {
    ImGui::SameLine();
    ImGui::TextColored(C_AMBER, "%s...", s.busyLabel.c_str());
  }
}

void logPane() {
  gap(6);
  ImGui::BeginChild("log", ImVec2(0, 0), true);
  ImGui::PushTextWrapPos(0.0f);
  {
    std::lock_guard<std::mutex> lk(g_app.mutex);
    for (const std::string& line : g_app.log) {
      const Tone t = logTone(line);
      if (t == Tone::Plain)
        ImGui::TextUnformatted(line.c_str());
      else
        ImGui::TextColored(colour(t), "%s", line.c_str());
    }
  }
  ImGui::PopTextWrapPos();
  // Follow new lines only while the user has not scrolled up.
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
  const Snapshot s = takeSnapshot();
  header(titleFont, s);
  gap(4);
  ImGui::Separator();
  gap(4);
  statusRows(s);
  gap(6);
  ImGui::Separator();
  gap(6);
  options(s);
  staleNotice(s);
  actionButtons(s);
  logPane();
  ImGui::End();
}
