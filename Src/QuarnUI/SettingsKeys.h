#pragma once

// Sections, keys and read defaults of the settings file "quarnloader.ini",
// and the names of the program's own files in its start-up folder.
namespace SettingsKeys {

inline constexpr char SETTINGS_FILE_NAME[] = "quarnloader.ini";
// The local file library, beside the program.
inline constexpr char FILE_LIBRARY_NAME[] = "filelib.ini";
// Language files are "LANG_" + name + ".txt"; the error-message file of a
// language is the same name with every "LANG" replaced by "ERR".
inline constexpr char LANGUAGE_FILE_PREFIX[] = "LANG_";
inline constexpr char LANGUAGE_FILE_SUFFIX[] = ".txt";
inline constexpr char LANGUAGE_FILE_PATTERN[] = "LANG*.TXT";
inline constexpr char LANGUAGE_MARK[] = "LANG";
inline constexpr char ERROR_MARK[] = "ERR";

// ---- Section "APPLICATION" ----
inline constexpr char APPLICATION[] = "APPLICATION";
// "0": the first-run setup is still to do; anything else: done.
inline constexpr char STATUS[] = "STATUS";
inline constexpr char STATUS_DEFAULT[] = "0";
inline constexpr char STATUS_FIRST_RUN[] = "0";
inline constexpr char STATUS_DONE[] = "1";
// File name of the language file, e.g. "LANG_ENGLISH.txt".
inline constexpr char LANGUAGE[] = "LANGUAGE";
// File name of the error-message file, e.g. "ERR_ENGLISH.txt".
inline constexpr char ERROR_FILE[] = "ERROR_FILE";
// The local folder shown in the right-hand list.
inline constexpr char LOCAL_PATH[] = "LOCAL_PATH";
// Column widths in pixels: "COL" + n for column n, counted from 1.
inline constexpr char COL_PREFIX[] = "COL";
inline constexpr char COL1[] = "COL1";
inline constexpr char COL2[] = "COL2";
inline constexpr char COL3[] = "COL3";
inline constexpr char COL4[] = "COL4";
// Splash display time in milliseconds.
inline constexpr char SPLASH_WAIT[] = "SPLASH_WAIT";
inline constexpr char SPLASH_WAIT_DEFAULT[] = "1750";

// ---- Section "COM_SETUP" ----
inline constexpr char COM_SETUP[] = "COM_SETUP";
// COM port number; 0 (or empty) searches all ports for the device.
inline constexpr char COM_PORT[] = "COM_PORT";
inline constexpr char COM_BAUD[] = "COM_BAUD";
// One letter: "N", "O", "E", "M" or "S".
inline constexpr char COM_PARITY[] = "COM_PARITY";
inline constexpr char COM_DATABIT[] = "COM_DATABIT";
inline constexpr char COM_STOPBIT[] = "COM_STOPBIT";

// ---- Section "WINDOW": the main window as it was last closed ----
inline constexpr char WINDOW[] = "WINDOW";
// Size, position and state (Qt's saved geometry, Base64).
inline constexpr char GEOMETRY[] = "GEOMETRY";
// How the splitter divides the panes (Qt's saved state, Base64).
inline constexpr char SPLITTER[] = "SPLITTER";
// The device list's column widths in pixels, "120,80,130,40"; the local
// list's stay in "COL1" to "COL4".
inline constexpr char DEVICE_COLUMNS[] = "DEVICE_COLUMNS";

struct SettingKey {
    const char* section;
    const char* key;
};

// Every setting the program reads; the shipped settings file holds them all.
inline constexpr SettingKey ALL_SETTINGS[] = {
    {APPLICATION, STATUS},     {APPLICATION, LANGUAGE},  {APPLICATION, ERROR_FILE},
    {APPLICATION, LOCAL_PATH}, {APPLICATION, COL1},      {APPLICATION, COL2},
    {APPLICATION, COL3},       {APPLICATION, COL4},      {APPLICATION, SPLASH_WAIT},
    {COM_SETUP, COM_PORT},     {COM_SETUP, COM_BAUD},    {COM_SETUP, COM_PARITY},
    {COM_SETUP, COM_DATABIT},  {COM_SETUP, COM_STOPBIT},
};

// The settings an installation must supply with a value: the program cannot
// start, or cannot open the serial line, without them.
inline constexpr SettingKey REQUIRED_SETTINGS[] = {
    {APPLICATION, STATUS},    {APPLICATION, LANGUAGE}, {APPLICATION, COL1},
    {APPLICATION, COL2},      {APPLICATION, COL3},     {APPLICATION, COL4},
    {COM_SETUP, COM_BAUD},    {COM_SETUP, COM_PARITY}, {COM_SETUP, COM_DATABIT},
    {COM_SETUP, COM_STOPBIT},
};

} // namespace SettingsKeys
