# Shared by the scripts: which Windows architecture this machine can run.
# 32-bit Linux executables (and with them 32-bit Wine) cannot run on kernels
# that have IA-32 emulation switched off; the 64-bit build of the same
# sources is then the one that runs under Wine. VELTROX_ARCH=x86_64 takes the
# 64-bit path on a machine that could run 32-bit code too (to check it).
runnable_arch() {
  case "${VELTROX_ARCH:-}" in
    i686|x86_64) echo "$VELTROX_ARCH"; return ;;
    "") ;;
    *) echo "VELTROX_ARCH must be i686 or x86_64, not '$VELTROX_ARCH'" >&2; return 1 ;;
  esac
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi
}
