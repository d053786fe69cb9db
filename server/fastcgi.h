#pragma once

#include <string>

// vidodu.cgi as a FastCGI application: one process started by the web server's process
// manager (or spawn-fcgi, or systemd) serves request after request on the socket it was handed
// as standard input. Every request is answered exactly as the CGI program answers it; what
// costs most is paid once: the configuration is read again only when its file changes, and a
// password that verified costs no hash again (auth.h's PasswordMemory).
namespace vidodu {

// True when standard input is the listening socket of a FastCGI process manager.
bool StartedByFastCgi();

// Serves requests until SIGTERM, which ends the loop once the request in flight is answered.
// Each request's configuration is the file its VIDODU_CONF parameter names, else the
// process's VIDODU_CONF, else vidodu.conf beside `executablePath`. Returns the exit status.
int ServeFastCgi(const std::string &executablePath);

} // namespace vidodu
