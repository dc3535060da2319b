# Two commands do everything on a fresh Debian 12 machine:
#   make run    installs what is missing, builds and starts the program
#   make test   installs what is missing, builds and runs every test
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

run: build
	@./$(BUILD_DIR)/app/kelvane-encryptor

test: build
	@ctest --preset $(PRESET)

bench: build
	@./$(BUILD_DIR)/bench/kelvane-bench-cipher
	@./bench/bench-cli.sh $(BUILD_DIR)/cli/kelvane-cipher
	@QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/kelvane-bench-window

clean:
	rm -rf $(BUILD_DIR)

# Hardening and packaging (README, "More commands"). Each installs the extra
# Debian packages it needs on top of those of `make deps`.
.PHONY: sanitize fuzz stress package package-check
FUZZ_SECONDS ?= 60
# CPack runs file and dpkg-shlibdeps on the binaries; the check runs appstreamcli.
PACKAGE_DEPS := dpkg-dev file appstream

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
