# Two commands do everything on a fresh Debian 12 machine:
#   make run    installs what the window program needs, builds it alone and starts it
#   make test   installs what is missing, builds everything and runs every test
PRESET ?= default
BUILD_DIR := build

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@./tools/install-deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

# The "app" preset shares the build directory but leaves out the tests and
# benchmarks, and builds only the window program.
run:
	@./tools/install-deps.sh --app
	@cmake --preset app >/dev/null
	@cmake --build --preset app
	@./$(BUILD_DIR)/app/kelvane-encryptor

test: build
	@ctest --preset $(PRESET)

bench: build
	@./$(BUILD_DIR)/bench/kelvane-bench-cipher
	@QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/kelvane-bench-window

clean:
	rm -rf $(BUILD_DIR)

# Hardening and packaging (README, "More commands"). Each installs the extra
# Debian packages it needs on top of those of `make deps`.
.PHONY: sanitize fuzz stress package package-check reuse
FUZZ_SECONDS ?= 60
# CPack runs file and dpkg-shlibdeps on the binaries; the check runs lintian,
# hardening-check (devscripts), desktop-file-validate, appstreamcli and man.
PACKAGE_DEPS := dpkg-dev file lintian devscripts desktop-file-utils appstream man-db

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

package: build
	@./tools/install-deps.sh $(PACKAGE_DEPS)
	@cmake --build --preset $(PRESET) --target package

package-check: build
	@./tools/install-deps.sh $(PACKAGE_DEPS)
	@cmake --build --preset $(PRESET) --target package-check

# Every file names its copyright and licence (REUSE); LICENSES/ has the texts.
reuse:
	@./tools/install-deps.sh --only reuse
	@reuse lint
