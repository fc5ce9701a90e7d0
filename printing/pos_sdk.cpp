#include "printing/pos_sdk.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace tendrix::printing {

const char* const kPosEntryNames[37] = {"POS_Open",
                                        "POS_Close",
                                        "POS_Reset",
                                        "POS_SetMode",
                                        "POS_SetMotionUnit",
                                        "POS_SetCharSetAndCodePage",
                                        "POS_FeedLine",
                                        "POS_SetLineSpacing",
                                        "POS_SetRightSpacing",
                                        "POS_PreDownloadBmpToRAM",
                                        "POS_PreDownloadBmpsToFlash",
                                        "POS_QueryStatus",
                                        "POS_RTQueryStatus",
                                        "POS_NETQueryStatus",
                                        "POS_KickOutDrawer",
                                        "POS_CutPaper",
                                        "POS_StartDoc",
                                        "POS_EndDoc",
                                        "POS_EndSaveFile",
                                        "POS_BeginSaveFile",
                                        "POS_S_SetAreaWidth",
                                        "POS_S_TextOut",
                                        "POS_S_DownloadAndPrintBmp",
                                        "POS_S_PrintBmpInRAM",
                                        "POS_S_PrintBmpInFlash",
                                        "POS_S_SetBarcode",
                                        "POS_PL_SetArea",
                                        "POS_PL_TextOut",
                                        "POS_PL_DownloadAndPrintBmp",
                                        "POS_PL_PrintBmpInRAM",
                                        "POS_PL_SetBarcode",
                                        "POS_PL_Print",
                                        "POS_PL_Clear",
                                        "POS_WriteFile",
                                        "POS_ReadFile",
                                        "POS_SetHandle",
                                        "POS_GetVersionInfo"};

bool PosSdk::Load(const std::string& path) {
    if (lib_) return true;
    error_.clear();
    void* lib = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        const char* e = dlerror();
        error_ = e ? e : ("cannot load " + path);
        return false;
    }
    void* entries[37];
    for (int i = 0; i < 37; ++i) {
        entries[i] = dlsym(lib, kPosEntryNames[i]);
        if (!entries[i]) {
            error_ = path + ": entry " + kPosEntryNames[i] + " missing";
            dlclose(lib);
            return false;
        }
    }
    lib_ = lib;
    Open = reinterpret_cast<OpenFn>(entries[0]);
    Close = reinterpret_cast<VoidFn>(entries[1]);
    StartDoc = reinterpret_cast<VoidFn>(entries[16]);
    EndDoc = reinterpret_cast<VoidFn>(entries[17]);
    SetBarcode = reinterpret_cast<BarcodeFn>(entries[25]);
    WriteFile = reinterpret_cast<WriteFn>(entries[33]);
    LastError = reinterpret_cast<ErrorFn>(dlsym(lib, "POS_TendrixLastError"));
    return true;
}

void PosSdk::Release() {
    if (!lib_) return;
    dlclose(lib_);
    lib_ = nullptr;
    Open = nullptr;
    Close = StartDoc = EndDoc = nullptr;
    WriteFile = nullptr;
    SetBarcode = nullptr;
    LastError = nullptr;
}

std::string PosSdk::DefaultPath() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    std::string dir = n > 0 ? std::string(buf, size_t(n)) : std::string();
    const size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? std::string("./") : dir.substr(0, slash + 1);
    return dir + "libPOSDLL.so";
}

}  // namespace tendrix::printing
