#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test_support {

// A loopback TCP port that was free a moment ago, for a helper that must be told its port.
inline int free_port() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(probe);
  return port;
}

}  // namespace test_support
