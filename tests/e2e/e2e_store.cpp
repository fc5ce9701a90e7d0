// Writes settings into a data folder's dataset.db through the program's own store, for the
// end-to-end tests: e2e_store DATA_DIR NAME=VALUE...
#include <cstdio>
#include <string>

#include "store/store.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: e2e_store DATA_DIR NAME=VALUE...\n");
        return 2;
    }
    tendrix::store::Store store(argv[1]);
    if (!store.OpenSettings()) {
        std::fprintf(stderr, "e2e_store: %s\n", store.LastError().c_str());
        return 1;
    }
    for (int i = 2; i < argc; ++i) {
        const std::string pair = argv[i];
        const size_t eq = pair.find('=');
        if (eq == std::string::npos || eq == 0) {
            std::fprintf(stderr, "e2e_store: not NAME=VALUE: %s\n", argv[i]);
            return 2;
        }
        if (!store.SaveName(pair.substr(0, eq), pair.substr(eq + 1))) {
            std::fprintf(stderr, "e2e_store: %s: %s\n", argv[i], store.LastError().c_str());
            return 1;
        }
    }
    return 0;
}
