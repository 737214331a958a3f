#!/usr/bin/env bash
# Installs, with apt-get, only the tools that are missing: without options
# what builds partsc (cmake, g++, make, nlohmann/json, pybind11 and python3-dev). --tests adds what the
# tests use (clang++ and its sanitizer runtimes, GoogleTest, man and groff,
# the consumers of the structured diagnostics: vim, jq, python3-jsonschema
# and npm's SARIF multitool, and the editors the language server is tested
# with: Neovim, and Emacs with eglot), --bench Google Benchmark (bench/),
# --valgrind valgrind (fuzz/valgrind-e2e.sh), --package the Debian packaging tools
# (scripts/check-package.sh).
set -euo pipefail
tests=0
bench=0
valgrind=0
package=0
for option in "$@"; do
  case $option in
    --tests) tests=1 ;;
    --bench) bench=1 ;;
    --valgrind) valgrind=1 ;;
    --package) package=1 ;;
    *) echo "install-deps: unknown option $option" >&2; exit 2 ;;
  esac
done

missing=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_file() { [ -e "$1" ]; }

have_cmd cmake || missing+=(cmake)
have_cmd g++ || missing+=(g++)
have_cmd make || missing+=(make)
have_file /usr/include/nlohmann/json.hpp || missing+=(nlohmann-json3-dev)
# The Python package (python/), built in the same build.
have_file /usr/include/pybind11/pybind11.h || missing+=(pybind11-dev)
ls /usr/include/python3*/Python.h >/dev/null 2>&1 || missing+=(python3-dev)
if [ $tests -eq 1 ]; then
  have_cmd clang++ || missing+=(clang)
  have_file /usr/include/gtest/gtest.h || missing+=(libgtest-dev)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.asan-x86_64.a >/dev/null 2>&1 ||
    missing+=(libclang-rt-dev)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.tsan-x86_64.a >/dev/null 2>&1 ||
    missing+=(libclang-rt-dev)
  ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
    missing+=(libclang-rt-dev)
  have_cmd man || missing+=(man-db)
  have_cmd groff || missing+=(groff-base)
  # The consumers of the structured diagnostics (tests/consumers/).
  have_cmd vim || missing+=(vim-nox)
  have_cmd jq || missing+=(jq)
  /usr/bin/python3 -c 'import jsonschema' >/dev/null 2>&1 || missing+=(python3-jsonschema)
  /usr/bin/python3 -c 'import pytest' >/dev/null 2>&1 || missing+=(python3-pytest)
  have_cmd pkg-config || missing+=(pkg-config)
  have_cmd git || missing+=(git)
  have_cmd npm || missing+=(npm)
  # The editors that drive partsc --lsp (tests/lsp/).
  have_cmd nvim || missing+=(neovim)
  have_cmd emacs || missing+=(emacs-nox)
  ls -d /usr/share/emacs/site-lisp/elpa-src/eglot-* >/dev/null 2>&1 || missing+=(elpa-eglot)
fi
[ $bench -eq 0 ] || have_file /usr/include/benchmark/benchmark.h || missing+=(libbenchmark-dev)
[ $valgrind -eq 0 ] || have_cmd valgrind || missing+=(valgrind)
if [ $package -eq 1 ]; then
  have_cmd dpkg-shlibdeps || missing+=(dpkg-dev)
  have_cmd gzip || missing+=(gzip)
  have_cmd lintian || missing+=(lintian)
  /usr/bin/python3 -c 'import pytest' >/dev/null 2>&1 || missing+=(python3-pytest)
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -ne 0 ]; then
  # Drop repeats while keeping the order.
  mapfile -t missing < <(printf '%s\n' "${missing[@]}" | awk '!seen[$0]++')
  echo "install-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The SARIF 2.1.0 schema and validator of npm's @microsoft/sarif-multitool-linux
# (tests/consumers/); a failed install only makes that test skip.
[ $tests -eq 1 ] || exit 0
multitool="$(npm root -g 2>/dev/null || true)/@microsoft/sarif-multitool-linux"
if have_cmd npm && [ ! -f "$multitool/sarif-2.1.0.json" ]; then
  echo "install-deps: installing @microsoft/sarif-multitool-linux with npm"
  $sudo npm install -g --silent @microsoft/sarif-multitool-linux ||
    echo "install-deps: npm could not install @microsoft/sarif-multitool-linux"
fi
[ ! -f "$multitool/Sarif.Multitool" ] || $sudo chmod a+x "$multitool/Sarif.Multitool"
