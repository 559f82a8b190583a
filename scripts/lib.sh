# Shared by the scripts: which Windows architecture this machine can run.
# 32-bit Linux executables (and with them 32-bit Wine) cannot run on kernels
# that have IA-32 emulation switched off; the 64-bit build of the same
# sources is then the one that runs under Wine.
runnable_arch() {
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
}
