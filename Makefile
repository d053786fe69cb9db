# The two commands of the README, and a few more for developers.
BUILD_DIR ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
# Tests and benchmarks are built for `make test` only. Each command sets this explicitly, so the
# shared build folder follows the last command: `make run` after `make test` turns them off (the
# built tests stay in the folder), `make test` turns them back on without rebuilding them.
# `make build` alone keeps the folder's last choice.
TESTING ?=
run package: TESTING = OFF
test: TESTING = ON

.PHONY: run test deps configure build test-asan test-sanitized-core clean

run: build
	./scripts/install-deps.sh run
	./scripts/run.sh "$(BUILD_DIR)"

test: build
	@if [ "$(BUILD_DIR)" != "$(ASAN_DIR)" ]; then $(MAKE) --no-print-directory test-sanitized-core; fi
	cd "$(BUILD_DIR)" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The codec, platform and request-cycle tests (random texts through Decode, every code page
# pair, replies cut at every byte) once more, built with AddressSanitizer and
# UndefinedBehaviorSanitizer, and with Qt's own index checks (a debug build): any report fails
# the run. Same folder and flags as test-asan.
ASAN_DIR ?= build-asan
SANITIZED_TEST_DIRS = tests/codec tests/platform tests/protocol
test-sanitized-core:
	cmake -S . -B "$(ASAN_DIR)" -G Ninja -DBUILD_TESTING=ON -DLUMENO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug > /dev/null
	cmake --build "$(ASAN_DIR)" -j $(JOBS) --target $(addsuffix /all,$(SANITIZED_TEST_DIRS))
	for dir in $(SANITIZED_TEST_DIRS); do \
	  UBSAN_OPTIONS=print_stacktrace=1 \
	  QT_QPA_PLATFORM=offscreen ctest --test-dir "$(ASAN_DIR)/$$dir" --output-on-failure -j $(JOBS) || exit 1; \
	done

deps:
	./scripts/install-deps.sh

configure: deps
	cmake -S . -B "$(BUILD_DIR)" -G Ninja $(if $(TESTING),-DBUILD_TESTING=$(TESTING)) $(CMAKE_FLAGS)

build: configure
	cmake --build "$(BUILD_DIR)" -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer, end-to-end test
# included: any report fails the run. Qt, fontconfig and the X libraries keep some memory until
# the process ends on purpose; tests/lsan.supp names those, so that a leak of ours still fails.
SANITIZER_ENV = ASAN_OPTIONS=detect_stack_use_after_return=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
test-asan:
	$(SANITIZER_ENV) $(MAKE) test BUILD_DIR="$(ASAN_DIR)" CMAKE_FLAGS="-DLUMENO_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

clean:
	rm -rf "$(BUILD_DIR)"

# The Debian packages lumeno (the editor) and lumeno-server (vidodu.cgi), into $(BUILD_DIR)/packages/.
.PHONY: package
package: build
	cpack --config "$(BUILD_DIR)/CPackConfig.cmake" -B "$(BUILD_DIR)/packages"
	@ls -1 "$(BUILD_DIR)"/packages/*.deb

# Start to text on the screen: the editor opening a 10 MB document from vidodu.cgi under lighttpd,
# against a bare Qt program reading it from the local disk (bench/open/run-open.sh).
.PHONY: bench-open
bench-open:
	cmake -S . -B "$(BUILD_DIR)" -G Ninja -DBUILD_TESTING=ON -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build "$(BUILD_DIR)" -j $(JOBS) --target lumeno vidodu_cgi bench_open_baseline
	./bench/open/run-open.sh "$(BUILD_DIR)"
