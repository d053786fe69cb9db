# The two commands of the README, and a few more for developers.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: run test deps configure build test-asan clean

run: build
	./scripts/run.sh "$(BUILD_DIR)"

test: build
	cd "$(BUILD_DIR)" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B "$(BUILD_DIR)" -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build "$(BUILD_DIR)" -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan:
	$(MAKE) test BUILD_DIR=build-asan CMAKE_FLAGS="-DLUMENO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

clean:
	rm -rf "$(BUILD_DIR)"
