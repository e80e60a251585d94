"""query_time.py: asks a time server for the time through zymdate.dll with ctypes
and prints the server's UTC time, its answer, this PC's time as a NIST Daytime
line and how far this PC's clock is from the server's, as Tickwell words it.

    python query_time.py [--ca FILE] [HOST [PORT [TIMEOUT]]]   time.nist.gov, port 13, 10 s by default

A host written nts://host or nts://host:port (the key-exchange port, 4460 by
default) is an NTS server: asked over NTP with Network Time Security whatever
PORT says; its answer then says "authenticated (NTS)". --ca FILE checks NTS
servers' certificates against the authorities of that PEM file instead of the
Windows certificate store (SETNTSCAFILE), as a private NTS server needs.

Runs on Windows with a Python of the same bitness as the DLLs: 64-bit Python
with bin\\x64\\zymdate.dll and zym.dll, 32-bit Python with the bin\\x86 pair.
Looks for the DLLs beside this file, then in the kit's bin folder.
Exit code 0 when a time was received, 1 when the query failed, 2 when the CA
file cannot be read.
"""

import ctypes
import os
import struct
import sys
from ctypes import POINTER, byref, c_char_p, c_double, c_int32, c_uint, c_void_p
from ctypes.wintypes import WORD

# A BSTR is a pointer; the interface's texts are byte BSTRs holding ANSI text.
BSTR = c_void_p


class SYSTEMTIME(ctypes.Structure):
    _fields_ = [
        ("wYear", WORD),
        ("wMonth", WORD),
        ("wDayOfWeek", WORD),
        ("wDay", WORD),
        ("wHour", WORD),
        ("wMinute", WORD),
        ("wSecond", WORD),
        ("wMilliseconds", WORD),
    ]


def load_library():
    """zymdate.dll and the zym.dll it needs, for this Python's bitness."""
    here = os.path.dirname(os.path.abspath(__file__))
    arch = "x64" if struct.calcsize("P") == 8 else "x86"
    for folder in (here, os.path.join(here, "..", "bin", arch)):
        if os.path.exists(os.path.join(folder, "zymdate.dll")):
            os.add_dll_directory(os.path.abspath(folder))  # for zym.dll
            return ctypes.WinDLL(os.path.join(folder, "zymdate.dll"))
    return ctypes.WinDLL("zymdate.dll")


oleaut32 = ctypes.WinDLL("oleaut32")
oleaut32.SysAllocStringByteLen.argtypes = [c_char_p, c_uint]
oleaut32.SysAllocStringByteLen.restype = BSTR
oleaut32.SysStringByteLen.argtypes = [BSTR]
oleaut32.SysStringByteLen.restype = c_uint
oleaut32.SysFreeString.argtypes = [BSTR]
oleaut32.SysFreeString.restype = None

zymdate = load_library()
# Every export is stdcall (WinDLL) with the C signature of include/zymdate.h.
zymdate.CHECKATOMICTIME.argtypes = [POINTER(BSTR), POINTER(c_int32), c_int32,
                                    POINTER(c_double), POINTER(SYSTEMTIME), POINTER(BSTR)]
zymdate.CHECKATOMICTIME.restype = c_int32
zymdate.STTONISTTIME.argtypes = [POINTER(c_int32), POINTER(c_double)]
zymdate.STTONISTTIME.restype = BSTR
zymdate.CONVERTTOLOCALTIME.argtypes = [POINTER(SYSTEMTIME), POINTER(SYSTEMTIME)]
zymdate.CONVERTTOLOCALTIME.restype = c_int32
zymdate.DIFFERENCETEXT.argtypes = [POINTER(SYSTEMTIME), POINTER(SYSTEMTIME), POINTER(c_int32)]
zymdate.DIFFERENCETEXT.restype = BSTR
zymdate.SETNTSCAFILE.argtypes = [BSTR]
zymdate.SETNTSCAFILE.restype = c_int32


def to_bstr(text):
    data = text.encode("mbcs")
    return oleaut32.SysAllocStringByteLen(data, len(data))


def from_bstr(bstr):
    """The text of a BSTR; None (NULL) is the empty text."""
    if not bstr:
        return ""
    return ctypes.string_at(bstr, oleaut32.SysStringByteLen(bstr)).decode("mbcs")


def take_bstr(bstr):
    """The text of a BSTR the caller owns, which is freed."""
    try:
        return from_bstr(bstr)
    finally:
        oleaut32.SysFreeString(bstr)


def main(argv):
    # --ca FILE may stand anywhere; the other arguments keep their order.
    argv = list(argv)
    if "--ca" in argv[1:-1]:
        at = argv.index("--ca", 1)
        path = to_bstr(argv[at + 1])
        try:
            # For every NTS server this process asks from now on.
            if not zymdate.SETNTSCAFILE(path):
                print("query_time: the CA file %s cannot be read" % argv[at + 1], file=sys.stderr)
                return 2
        finally:
            oleaut32.SysFreeString(path)
        del argv[at:at + 2]
    host = argv[1] if len(argv) > 1 else "time.nist.gov"
    port = c_int32(int(argv[2]) if len(argv) > 2 else 13)
    timeout = int(argv[3]) if len(argv) > 3 else 10

    # server is in and out (it comes back cleaned); message receives the answer
    # or the reason the query failed. The caller owns and frees both.
    server = BSTR(to_bstr(host))
    message = BSTR()
    delay = c_double()
    utc = SYSTEMTIME()
    ok = zymdate.CHECKATOMICTIME(byref(server), byref(port), timeout, byref(delay),
                                 byref(utc), byref(message))
    print("server:     " + take_bstr(server.value))
    if not ok:
        print("failed:     " + take_bstr(message.value))
        return 1
    print("UTC:        %04d-%02d-%02d %02d:%02d:%02d.%03d" % (
        utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond,
        utc.wMilliseconds))
    print("delay:      %.0f ms (half the exchange, already added to the time)" % delay.value)
    # An NTS server's answer ends in "authenticated (NTS)" (include/zymdate_texts.h).
    print("answer:     " + take_bstr(message.value))

    # This PC's own clock as a Daytime line; an advance of 0 becomes 50 ms.
    leap, advance = c_int32(0), c_double(0)
    print("PC as NIST: " + take_bstr(zymdate.STTONISTTIME(byref(leap), byref(advance))))

    # This PC's local time against the server's time in local time.
    # DIFFERENCETEXT overwrites its second argument with the difference.
    server_local, pc_local = SYSTEMTIME(), SYSTEMTIME()
    zymdate.CONVERTTOLOCALTIME(byref(utc), byref(server_local))
    ctypes.windll.kernel32.GetLocalTime(byref(pc_local))
    match = c_int32(0)
    difference = zymdate.DIFFERENCETEXT(byref(pc_local), byref(server_local), byref(match))
    print("difference: " + take_bstr(difference))
    print("matches:    " + ("yes" if match.value else "no"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
