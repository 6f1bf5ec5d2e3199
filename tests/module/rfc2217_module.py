#!/usr/bin/env python3
"""An RFC 2217 server for the tests, written apart from the console: pyserial's PortManager in
front of a port that only records. For each byte that arrives it prints the time, the RTS and DTR
state the client had set before it, and the byte: "<ms> <rts> <dtr> <byte>". A byte "R" that
arrives with RTS raised is answered with the dump given as hexadecimal text, as the module
answers a configuration read. The first line printed is "port <number>"; the server serves one
connection after another until it is ended."""
import select
import socket
import sys
import time

import serial.rfc2217 as rfc2217


class RecordingPort:
    def __init__(self, dump):
        self.dump = dump
        self.answer = bytearray()
        self.rts = False
        self.dtr = False
        self.baudrate = 9600
        self.bytesize = 8
        self.parity = "N"
        self.stopbits = 1
        self.xonxoff = False
        self.rtscts = False
        self.break_condition = False
        self.cts = self.dsr = self.ri = self.cd = False

    def write(self, data):
        for b in data:
            print("%.3f %d %d %d" % (time.monotonic() * 1000, self.rts, self.dtr, b), flush=True)
            if b == ord("R") and self.rts:
                self.answer += self.dump

    def reset_input_buffer(self):
        pass

    def reset_output_buffer(self):
        pass


class Connection:
    def __init__(self, sock):
        self.sock = sock

    def write(self, data):
        self.sock.sendall(data)


def main():
    port = RecordingPort(bytes.fromhex(sys.argv[1]))
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print("port %d" % listener.getsockname()[1], flush=True)
    while True:
        sock, _ = listener.accept()
        sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        manager = rfc2217.PortManager(port, Connection(sock))
        while True:
            select.select([sock], [], [], 1.0)
            try:
                data = sock.recv(4096)
            except BlockingIOError:
                continue
            if not data:
                break
            port.write(b"".join(manager.filter(data)))
            if port.answer:
                sock.sendall(b"".join(manager.escape(bytes(port.answer))))
                port.answer.clear()
        sock.close()


if __name__ == "__main__":
    main()
