# The Windows packages: a zip and an NSIS installer (filled in below).
