// The INI reader over any file content (UTF-16LE with BOM, UTF-8, GBK): load, read, change
// one key, save in the file's own encoding and load again; the change must read back.
#include <fstream>
#include <string>

#include "store/ini_file.h"
#include "tests/fuzz/fuzz_target.h"
#include "tests/support/temp_dir.h"

FUZZ_TARGET(ini) {
    static const tendrix::test::TempDir folder;  // the reader needs a regular file
    const std::string in = folder / "in.ini", out = folder / "out.ini";
    {
        std::ofstream file(in, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    tendrix::store::IniFile ini;
    FUZZ_CHECK(ini.Load(in));
    (void)ini.Get("config", "api_base");
    (void)ini.Get("config", "invoice_url", "fallback");
    ini.Set("config", "api_base", "http://127.0.0.1:8080");
    ini.Set("新节", "键", "值");
    FUZZ_CHECK(ini.SaveAs(out));
    tendrix::store::IniFile again;
    FUZZ_CHECK(again.Load(out));
    FUZZ_CHECK(again.Get("config", "api_base") == "http://127.0.0.1:8080");
    FUZZ_CHECK(again.Get("新节", "键") == "值");
    return 0;
}
