// Entry of the launcher: start-up, one GLFW window with Dear ImGui over
// OpenGL 3.2 core, and the frame loop.
#include <GLFW/glfw3.h>
#include <imgui.h>
#include <imgui_impl_glfw.h>
#include <imgui_impl_opengl3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/actions.h"
#include "app/app.h"
#include "app/startup.h"
#include "app/style.h"
#include "scenery/files.h"

namespace {
void glfwError(int code, const char* text) { std::fprintf(stderr, "GLFW %d: %s\n", code, text); }
}  // namespace

int main(int argc, char** argv) {
  startup(argc, argv);

  glfwSetErrorCallback(glfwError);
  if (!glfwInit()) {
    std::fputs("Orvane Launcher: no display - GLFW would not start.\n", stderr);
    return 1;
  }
  glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
  glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 2);
  glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
  glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
  GLFWwindow* window = glfwCreateWindow(900, 700, "Orvane Launcher", nullptr, nullptr);
  if (!window) {
    std::fputs("Orvane Launcher: could not create a window.\n", stderr);
    glfwTerminate();
    return 1;
  }
  glfwMakeContextCurrent(window);
  glfwSwapInterval(1);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGui::GetIO().IniFilename = nullptr;
  applyStyle();

  // Fonts come from the X-Plane folder; without one, ImGui's built-in font is used.
  ImFont* titleFont = nullptr;
  const std::string root = g_app.root;  // written only by start-up and Browse
  if (!root.empty()) {
    ImGuiIO& io = ImGui::GetIO();
    std::string regular = root + "Resources/fonts/Roboto-Regular.ttf";
    std::string bold = root + "Resources/fonts/Roboto-Bold.ttf";
    if (ftg::fileExists(regular)) io.Fonts->AddFontFromFileTTF(regular.c_str(), 17.0f);
    if (ftg::fileExists(bold)) titleFont = io.Fonts->AddFontFromFileTTF(bold.c_str(), 22.0f);
  }

  ImGui_ImplGlfw_InitForOpenGL(window, true);
  ImGui_ImplOpenGL3_Init("#version 150");

  if (!root.empty()) run("checking", actionCheck);

  double last = 0.0;
  while (!glfwWindowShouldClose(window)) {
    glfwPollEvents();
    if (g_app.quitRequested && !g_app.busy) break;
    if (glfwGetWindowAttrib(window, GLFW_ICONIFIED)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    double now = glfwGetTime();
    if (now - last > 2.0) {
      if (!g_app.busy) refreshLocal(false);
      last = now;
    }
    ImGui_ImplOpenGL3_NewFrame();
    ImGui_ImplGlfw_NewFrame();
    ImGui::NewFrame();
    draw(titleFont);
    ImGui::Render();
    int w = 0, h = 0;
    glfwGetFramebufferSize(window, &w, &h);
    glViewport(0, 0, w, h);
    glClearColor(C_BG.x, C_BG.y, C_BG.z, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    glfwSwapBuffers(window);
  }

  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplGlfw_Shutdown();
  ImGui::DestroyContext();
  glfwDestroyWindow(window);
  glfwTerminate();

  // The window is gone at once; a suppress or restore still running finishes its
  // files first. Then leave without global destructors, so a job that is still
  // running (a check, a launch wait) never meets a torn-down App.
  waitForSceneryWork();
  std::fflush(nullptr);
  _exit(0);
}
