# Installs the Debian packages the build, the tests and the demo need, when
# any is missing. Sourced by the scripts beside it. Recommended packages come
# along too, as on any desktop install.
VASKORD_PACKAGES=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6svg6
  mdbtools-dev mdbtools
  libgtest-dev googletest
  fonts-arphic-uming fonts-dejavu-core fontconfig
  xvfb xauth imagemagick x11-utils qt6-translations-l10n
  dpkg-dev file desktop-file-utils lintian
  strace tar xz-utils
  trash-cli libglib2.0-bin
)

vaskord_install_packages() {
  local missing=() p
  for p in "${VASKORD_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}
