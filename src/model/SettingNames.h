#pragma once

#include <QLatin1StringView>

// The names of the program key's values (HKEY_LOCAL_MACHINE \SOFTWARE\Quillon\Ostrevo), each
// spelled once here. They are stored names: the texts never change. The nine resolution ticks
// are named in model/FixedResolutions.h.
namespace SettingName {

inline constexpr QLatin1StringView CustomWidth{"CusW"};
inline constexpr QLatin1StringView CustomHeight{"CusH"};
inline constexpr QLatin1StringView CustomTicked{"CusRes"};
inline constexpr QLatin1StringView Filtering{"AFLevel"};
inline constexpr QLatin1StringView Antialiasing{"AALevel"};
inline constexpr QLatin1StringView HeapSize{"Heapsize"};
inline constexpr QLatin1StringView Hdr{"HDR"};
inline constexpr QLatin1StringView FastZ{"FastZ"};
inline constexpr QLatin1StringView ColorCorrection{"ColorCorrection"};
inline constexpr QLatin1StringView RefreshRate{"Refresh"};
inline constexpr QLatin1StringView RunCount{"RunNumber"};
inline constexpr QLatin1StringView Note{"Note"};
inline constexpr QLatin1StringView ResultsFolder{"ResultPath"};
inline constexpr QLatin1StringView Demo{"Demo"};
inline constexpr QLatin1StringView CustomDemoPath{"Demoname"};
inline constexpr QLatin1StringView FrameTimes{"FrameTimes"};
// The crash marker: "1" when a start finds a configuration script a series may have left
// behind, "0" once a series has ended or the script is gone.
inline constexpr QLatin1StringView NoErrorWarning{"NoErrorWarning"};
// The game folder, stored when found or chosen by hand.
inline constexpr QLatin1StringView GamePath{"Path"};
// The diagnostics cache, emptied when the window closes.
inline constexpr QLatin1StringView DisplayMemory{"Display Memory"};
inline constexpr QLatin1StringView DriverVersion{"Driver Version"};
inline constexpr QLatin1StringView Sound{"Sound"};

} // namespace SettingName
