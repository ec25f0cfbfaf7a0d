// The launcher's colours and ImGui style.
#pragma once
#include <imgui.h>

inline const ImVec4 C_BG{10 / 255.f, 14 / 255.f, 22 / 255.f, 1.f};
inline const ImVec4 C_SURF{20 / 255.f, 26 / 255.f, 38 / 255.f, 1.f};
inline const ImVec4 C_EDGE{34 / 255.f, 43 / 255.f, 58 / 255.f, 1.f};
inline const ImVec4 C_CTRL{29 / 255.f, 38 / 255.f, 54 / 255.f, 1.f};
inline const ImVec4 C_CTRLB{44 / 255.f, 56 / 255.f, 80 / 255.f, 1.f};
inline const ImVec4 C_HOVER{41 / 255.f, 53 / 255.f, 75 / 255.f, 1.f};
inline const ImVec4 C_TEXT{230 / 255.f, 235 / 255.f, 242 / 255.f, 1.f};
inline const ImVec4 C_MUT{122 / 255.f, 134 / 255.f, 153 / 255.f, 1.f};
inline const ImVec4 C_GO{39 / 255.f, 209 / 255.f, 124 / 255.f, 1.f};
inline const ImVec4 C_STOP{232 / 255.f, 70 / 255.f, 63 / 255.f, 1.f};
inline const ImVec4 C_AMBER{236 / 255.f, 166 / 255.f, 60 / 255.f, 1.f};

void applyStyle();

// Builds the window for one frame; titleFont may be null.
void draw(ImFont* titleFont);
