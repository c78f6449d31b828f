#!/bin/sh
# Installs every Debian package the build, the tests and the tools need.
# Idempotent: packages already present are not fetched again.
set -e
PACKAGES="
  pkg-config cmake ninja-build g++ python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  libsdl2-dev xvfb xauth libwebkit2gtk-4.1-dev xdotool x11-utils evilwm
  libopenal-dev libarchive-dev 7zip libminizip-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev imagemagick
  liblua5.1-0-dev libbox2d-dev libmpg123-dev lame sox
  libcjson-dev libcurl4-openssl-dev libssl-dev
  libfreetype-dev fonts-dejavu-core fonts-dejavu-extra fonts-noto-ui-core
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-x
"
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  echo "Installing:$missing"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
