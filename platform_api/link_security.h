#pragma once
// Security rules of the platform link: which base addresses travel in clear, and how an
// exchange is written to a log without its secrets.
#include <string>
#include <string_view>

namespace tendrix::platform_api {

// The warning for a plain "http://" base address whose host is not this machine: anyone on
// the shop's network can read the password and signing key or forge a "paid" answer.
// Empty for https, loopback hosts and an empty address.
std::string PlainHttpWarning(std::string_view api_base);

// True when the URL's host is this machine (localhost, 127.0.0.0/8, ::1).
bool IsLoopbackUrl(std::string_view url);

// "***" followed by the last four characters (all of a text of four or fewer is hidden).
std::string MaskKeepLastFour(std::string_view text);

// The items of a form body for a log. The signature is left out; the password and, on the
// login path (whatever prefix the base address adds), the digest derived from it become
// "***"; payment codes and buyer ids keep their last four characters.
std::string FormItemsForLog(std::string_view body, std::string_view path);

// An answer for a log: "secret" values become "***", payment codes and buyer ids keep their
// last four characters; cut at 4 KB on a character boundary.
std::string AnswerForLog(std::string answer);

// The CA certificate file (PEM) every exchange of this process trusts besides the system's
// certificate store: a platform with a private certificate. Empty: the store alone. Set at
// start from the settings (tendrix) or the command line (tendrix-cli).
void SetPlatformCaFile(std::string file);
std::string PlatformCaFile();

}  // namespace tendrix::platform_api
