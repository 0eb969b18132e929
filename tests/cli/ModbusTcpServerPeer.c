/* A Modbus TCP server of another project as a gateway stand-in: libmodbus's
 * own server on 127.0.0.1, one client, holding registers in memory. Prints
 * "port N" once it listens on a free port; serves one client after another
 * until it is signalled. */
#include <arpa/inet.h>
#include <errno.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

int main(void) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", 0);
  modbus_mapping_t* map = modbus_mapping_new(0, 0, 0x100, 0);
  if (ctx == NULL || map == NULL) return 1;
  /* libmodbus listens on the port it was given; port 0 takes a free one,
   * which getsockname then names. */
  const int listener = modbus_tcp_listen(ctx, 1);
  if (listener < 0) return 1;
  struct sockaddr_in address;
  socklen_t length = sizeof address;
  getsockname(listener, (struct sockaddr*)&address, &length);
  printf("port %u\n", ntohs(address.sin_port));
  fflush(stdout);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  for (;;) {
    int listening = listener;
    const int client = modbus_tcp_accept(ctx, &listening);
    if (client < 0) break;
    for (;;) {
      const int received = modbus_receive(ctx, query);
      if (received < 0) break; /* the client has gone */
      if (received > 0) modbus_reply(ctx, query, received, map);
    }
    close(client);
  }
  close(listener);
  modbus_mapping_free(map);
  modbus_free(ctx);
  return 0;
}
