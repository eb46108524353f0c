#!/usr/bin/env python3
"""A stand-in for the web server of the update check, reached as the HTTP proxy.

    version_server.py MODE BODY LOGFILE

Prints its port on the first line of standard output, then serves until killed. MODE
"answer" sends BODY (a 200 reply) to every request; "silent" takes requests and never
answers. Every request line goes to LOGFILE as it arrives.
"""
import socket
import sys
import threading

mode, body, log_path = sys.argv[1], sys.argv[2].encode("utf-8"), sys.argv[3]
held = []


def serve(conn):
    head = b""
    while b"\r\n\r\n" not in head:
        data = conn.recv(4096)
        if not data:
            break
        head += data
    with open(log_path, "a", encoding="utf-8") as log:
        log.write(head.split(b"\r\n", 1)[0].decode("latin-1") + "\n")
    if mode == "silent":
        held.append(conn)
        return
    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: %d\r\n"
                 b"Connection: close\r\n\r\n%s" % (len(body), body))
    conn.shutdown(socket.SHUT_WR)
    conn.close()


listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(8)
print(listener.getsockname()[1], flush=True)
while True:
    client, _ = listener.accept()
    threading.Thread(target=serve, args=(client,), daemon=True).start()
