// A program that exits with its own pointer width in bits (32 or 64), for
// the Wine suite: put in system32 and SysWOW64, it tells which of the two a
// program started as <system folder>\zcbits.exe really was.
int wmain() { return static_cast<int>(sizeof(void*) * 8); }
