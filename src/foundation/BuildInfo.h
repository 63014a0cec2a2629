// The build number shown in the main window's caption and the about box.
#pragma once

inline constexpr const char* BuildNumber = "1.0.0.1";
