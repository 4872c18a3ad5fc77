#!/usr/bin/python3
# A loopback FTP server for the download tests: anonymous and one named user read FOLDER.
# Writes "PORT PID" to PORTFILE once it listens, logs the commands it gets to LOGFILE, and ends
# when the process OWNER (the test) is gone.
import logging
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

folder, portfile, logfile, owner = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
logging.basicConfig(filename=logfile, level=logging.DEBUG)
authorizer = DummyAuthorizer()
authorizer.add_anonymous(folder)
authorizer.add_user("lorvane", "secret", folder, perm="elr")
handler = FTPHandler
handler.authorizer = authorizer
handler.auth_failed_timeout = 0  # a refused login answers at once
server = FTPServer(("127.0.0.1", 0), handler)
with open(portfile + ".part", "w") as f:
    f.write("%d %d" % (server.address[1], os.getpid()))
os.rename(portfile + ".part", portfile)


def watch_owner():
    while True:
        try:
            os.kill(owner, 0)
        except OSError:
            os._exit(0)
        time.sleep(0.5)


threading.Thread(target=watch_owner, daemon=True).start()
server.serve_forever()
