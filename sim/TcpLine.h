// The simulated driver behind a TCP port on the loopback interface, as an
// RS-485-to-Ethernet device server in raw mode offers a driver: the bytes of
// one connection are the bytes of the line.
#pragma once

#include <cstdint>

#include "base/UniqueFd.h"

namespace sim {

// A listening socket on 127.0.0.1:`port` (0: any free port); the port it
// got goes to `bound`. Invalid on failure, with errno telling why.
UniqueFd ListenOnLoopback(uint16_t port, uint16_t& bound);

// The connection waiting on `listener`, its small writes sent at once (a
// paced answer goes out a byte at a time). Invalid when there was none or
// it failed, with errno telling why.
UniqueFd AcceptConnection(int listener);

}  // namespace sim
