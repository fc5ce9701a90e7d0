#pragma once
// A private certificate authority made with the openssl program for one test: ca.pem and a
// server certificate for the host name "localhost" only (so 127.0.0.1 is another name),
// plus the sandbox options that serve HTTPS with it.
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tendrix::test {

class TestCertificates {
  public:
    TestCertificates() {
        if (::access("/usr/bin/openssl", X_OK) != 0) {
            error_ = "the openssl program is not installed (package openssl)";
            return;
        }
        const std::string d = "'" + dir_.path();  // ends in '/'

        const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
        const std::string script =
            "cd " + d + "' && openssl req -x509" + ec +
            " -keyout ca.key -out ca.pem -days 2 -subj /CN=TendrixTestCA"
            " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign"
            " && openssl req" +
            ec +
            " -keyout server.key -out server.csr -subj /CN=localhost"
            " && printf 'subjectAltName=DNS:localhost\\nextendedKeyUsage=serverAuth\\n' >ext.cnf"
            " && openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial"
            " -out server.pem -days 2 -extfile ext.cnf";
        if (std::system(("(" + script + ") >" + d + "openssl.log' 2>&1").c_str()) != 0) {
            error_ =
                "openssl could not make the test certificates (" + (dir_ / "openssl.log") + ")";
        }
    }
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    std::string ca_file() const { return dir_ / "ca.pem"; }
    std::vector<std::string> SandboxArgs() const {
        return {"--tls-cert", dir_ / "server.pem", "--tls-key", dir_ / "server.key"};
    }

  private:
    TempDir dir_;
    std::string error_;
};

}  // namespace tendrix::test
