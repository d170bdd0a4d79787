// The listening socket systemd hands over under socket activation:
// LISTEN_PID names this process, LISTEN_FDS counts the descriptors, which
// start at 3.
#pragma once

#include <QString>

struct ActivatedSocket {
    int fd = -1;   // -1: none handed over (or none usable)
    QString error; // set when the variables were meant for us but unusable
};

// The first descriptor handed to this process, if it is a listening TCP socket.
// The variables are removed, so programs this one starts do not take them for
// theirs; a second call finds nothing.
ActivatedSocket takeActivatedSocket();
