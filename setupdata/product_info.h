// Fixed names of the product and of the setup program (GBK).
#pragma once

namespace tavix {

inline constexpr const char* kAppTitle = "tavixSetup";
inline constexpr const char* kProductName = "Quorvix";
inline constexpr const char* kPublisher = "Velmora";
inline constexpr const char* kWebAddress = "http://www.quorvix.com.cn";
inline constexpr const char* kProductWindowClass = "TTavi30";
inline constexpr const char* kMutexName = "TAvixSetup_27805";
inline constexpr const char* kMarkerMappingName = "{CAF49BBB-AF40-4FDE-8757-51D5AEB5BBBF}";

// The three control files written to the temporary folder: resource name,
// resource type, file name, in the order they are opened and written.
struct ControlFile {
    const char* resourceName;
    const char* resourceType;
    const char* fileName;
};
inline constexpr ControlFile kControlFiles[3] = {
    {"FileTxt5", "txtname", "avixSetup.log"},
    {"FileTxt6", "txtname", "avixSetup.ini"},
    {"FileTxt4", "txtname", "SQXY.txt"},
};
inline constexpr int kManifestFile = 0;
inline constexpr int kControlFile = 1;
inline constexpr int kAgreementFile = 2;

} // namespace tavix
