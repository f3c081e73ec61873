#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the
# project. Does nothing for packages already there; needs root for apt-get.
set -euo pipefail

packages=(cmake make g++ clang-14 libclang-rt-14-dev libgtest-dev libbenchmark-dev
          libcairo2-dev libpng-dev zlib1g-dev pkg-config fonts-dejavu-core locales poppler-utils)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# A locale with a decimal comma, for the tests that prove the filter
# ignores the host's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
