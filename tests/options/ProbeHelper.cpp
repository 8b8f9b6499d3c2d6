// Probes one port the way the COM port list does, as an unprivileged user:
// root leaves for uid/gid 65534 first, so that the kernel's permission and
// exclusive-use checks apply. Exit code 1: present, 0: absent, 2: usage or
// privilege error.
#include "ComPortSelector.h"

#include <QString>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
        return 2;
    }
    return ComPortSelector::ProbePort(QString::fromLocal8Bit(argv[1])) ? 1 : 0;
}
