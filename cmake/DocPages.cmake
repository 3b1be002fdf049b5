# The pages under docs/ that the README links to, in the order it lists them:
# installed beside the README on Linux and appended to README.txt on Windows.
set(PELICAN_DOC_PAGES window-program batch-mode production-line line-database serial-ports on-windows
    json-and-records simulated-board developing)
