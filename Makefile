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
	@QT_QPA_PLATFORM=offscreen ./$(BUILD_DIR)/bench/kelvane-bench-window

clean:
	rm -rf $(BUILD_DIR)
