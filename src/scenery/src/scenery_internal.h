// Shared by the locator's units; not part of its public face.
#pragma once

// The source unit the locator's reports and alerts name.
inline constexpr const char* kLocateUnit = "DUdurid/Files/io_locate";
