# SPDX-FileCopyrightText: 2026 Kelvane Encryptor contributors
# SPDX-License-Identifier: GPL-3.0-or-later

# Two commands do everything on a fresh Debian 12 machine:
#   make run    installs what the window program needs, builds it alone and starts it
#   make test   installs what is missing, builds everything and runs every test
PRESET ?= default
BUILD_DIR := build
APP_BUILD_DIR := build-app

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@./tools/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# The "app" preset leaves out the tests and benchmarks and builds only the
# window program, in a build directory of its own so that it never turns the
# tests of the default build off.
run:
	@./tools/install-deps.sh --app
	@cmake --preset app >/dev/null
	@cmake --build --preset app
	@./$(APP_BUILD_DIR)/app/kelvane-encryptor

test: build
	@ctest --preset $(PRESET)

bench: build
	@./$(BUILD_DIR)/bench/kelvane-bench-cipher
	@./bench/bench-cli.sh $(BUILD_DIR)/cli/kelvane-cipher
	@QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/kelvane-bench-window

clean:
	rm -rf $(BUILD_DIR) $(APP_BUILD_DIR)

# Hardening and packaging (README, "More commands"). Each installs the extra
# Debian packages it needs on top of those of `make deps`.
.PHONY: sanitize fuzz stress package package-check package-test package-piuparts reuse
FUZZ_SECONDS ?= 60
# dpkg-buildpackage builds the source and binary packages in $(DEB_DIR) with
# debhelper; mk-build-deps (devscripts, equivs) installs the Build-Depends of
# debian/control. The check runs lintian, hardening-check (devscripts),
# desktop-file-validate, appstreamcli and man.
DEB_DIR := $(BUILD_DIR)/deb
PACKAGE_DEPS := dpkg-dev debhelper fakeroot devscripts equivs file lintian \
	desktop-file-utils appstream man-db
# autopkgtest runs debian/tests against the built packages in a testbed:
# `null` is this machine itself, where it installs the packages (as CI does on
# its throwaway machine); see man autopkgtest for the others.
AUTOPKGTEST_VIRT ?= null
# piuparts installs, removes and purges both packages in a fresh Debian 12
# chroot that it makes with debootstrap from this mirror (root only).
PIUPARTS_MIRROR ?= http://deb.debian.org/debian

sanitize: deps
	@cmake --preset asan >/dev/null
	@cmake --build --preset asan
	@ctest --preset asan

fuzz: deps
	@./tools/install-deps.sh clang libclang-rt-14-dev
	@cmake --preset fuzz >/dev/null
	@cmake --build --preset fuzz --target kelvane-fuzz-cipher
	@./fuzz/run-fuzzer.sh build-fuzz $(FUZZ_SECONDS)

stress: build
	@./tools/install-deps.sh time
	@./bench/stress-cli.sh $(BUILD_DIR)/cli/kelvane-cipher

package:
	@./tools/install-deps.sh --only $(PACKAGE_DEPS)
	@./tools/build-package.sh $(DEB_DIR)

package-check: package
	@./tools/check-package.sh --version "$$(dpkg-parsechangelog -S Version)" $(DEB_DIR)/*.changes

package-test: package
	@./tools/install-deps.sh --only autopkgtest
	@autopkgtest $(DEB_DIR)/*.changes -- $(AUTOPKGTEST_VIRT)

package-piuparts: package
	@./tools/install-deps.sh --only piuparts
	@piuparts --distribution=bookworm --mirror=$(PIUPARTS_MIRROR) \
		$(DEB_DIR)/kelvane-encryptor_*_*.deb $(DEB_DIR)/kelvane-cipher_*_*.deb

# Every file names its copyright and licence (REUSE); LICENSES/ has the texts.
reuse:
	@./tools/install-deps.sh --only reuse
	@reuse lint

# The window as one self-contained page (README, "In a browser"): the cipher
# core compiled to WebAssembly by Debian's emscripten, tested with node and
# in Chromium and Firefox ESR, the same tests in each, and timed in both, all
# driven by puppeteer-core.
.PHONY: web web-test web-bench web-localhost
WEB_DIR := $(BUILD_DIR)/web
WEB_PAGE := $(WEB_DIR)/kelvane-encryptor.html
WEB_DEPS := emscripten python3
WEB_TEST_DEPS := chromium firefox-esr
# The accessibility checker and the browsers' driver come from npm, at the
# versions web/tests/package-lock.json names; Debian's npm only where the
# machine's node has none of its own.
WEB_NPM := web/tests/node_modules/.package-lock.json
# emcc runs its JavaScript tools with the machine's node, which finds Debian's
# node modules (acorn) only through NODE_PATH when it is not Debian's own node.
WEB_ENV := NODE_PATH=/usr/share/nodejs$(if $(NODE_PATH),:$(NODE_PATH))

# emcmake names the command it runs on the error stream: that line is left
# out; a failed configuration is shown in full.
web: deps
	@./tools/install-deps.sh $(WEB_DEPS)
	@out=$$(mktemp); err=$$(mktemp); \
	if $(WEB_ENV) emcmake cmake -S web -B $(WEB_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	    >"$$out" 2>"$$err"; then grep -v '^configure: ' "$$err" >&2; rm -f "$$out" "$$err"; \
	else cat "$$out" "$$err" >&2; rm -f "$$out" "$$err"; exit 1; fi
	@$(WEB_ENV) cmake --build $(WEB_DIR)
	@echo "Open $(WEB_PAGE) in a browser."

# The tests compare the page with kelvane-cipher, so that is built too.
# Firefox's remote agent listens at "localhost": without that name (a minimal
# system without /etc/hosts) the page tests and the benchmark would wait and
# fail with no reason.
web-test: web-localhost web configure $(WEB_NPM)
	@./tools/install-deps.sh $(WEB_DEPS) $(WEB_TEST_DEPS)
	@cmake --build --preset $(PRESET) --target kelvane-cipher
	@node web/tests/core.test.mjs $(WEB_DIR)/kelvane-core.js $(BUILD_DIR)/cli/kelvane-cipher
	@node web/tests/page.test.mjs $(WEB_PAGE) $(BUILD_DIR)/cli/kelvane-cipher

$(WEB_NPM): web/tests/package.json web/tests/package-lock.json
	@command -v npm >/dev/null || ./tools/install-deps.sh --only npm
	@cd web/tests && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error

web-localhost:
	@getent ahosts localhost >/dev/null || { \
	    echo "error: the name localhost does not resolve, so the page tests cannot reach the browsers;" >&2; \
	    echo "       add the line '127.0.0.1 localhost' to /etc/hosts" >&2; exit 1; }

# WEB_BENCH_PAGES names further pages to time beside this one (say, one built
# before a change), WEB_BENCH_RUNS how many runs the medians take: the floors
# themselves move by a fifth from run to run, and medians of 3 do not settle.
WEB_BENCH_RUNS ?= 7
web-bench: web-localhost web $(WEB_NPM)
	@./tools/install-deps.sh $(WEB_DEPS) $(WEB_TEST_DEPS)
	@node web/tests/bench_page.mjs $(WEB_BENCH_PAGES) $(WEB_PAGE) $(WEB_BENCH_RUNS)
