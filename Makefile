# Front door: `make demo` and `make test` set up everything they need.
BUILD := build
WINBUILD := build-win32
JOBS := $(shell nproc)
PREFIX := /usr/local

.PHONY: all deps deps-windows build test tsan install demo windows bench clean

all: build

deps:
	@scripts/install-deps.sh

deps-windows:
	@scripts/install-deps.sh --windows

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

# The Windows leg: walkexec's end-to-end tests run again against walkexec.exe under
# Wine, and docmark.dll's exports and imports are checked.
test: build windows tsan
	cmake -S . -B $(BUILD) -DWALKEXEC_WINDOWS_EXE=$(abspath $(WINBUILD))/bin/walkexec.exe \
	  -DDOCMARK_WINDOWS_DLL=$(abspath $(WINBUILD))/bin/docmark.dll
	cd $(BUILD) && ctest --output-on-failure

# docmark's thread test again under ThreadSanitizer, in a build of its own.
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
	cmake --build build-tsan -j$(JOBS) --target docmark_threads_test
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R DocmarkThreads

windows: deps-windows
	cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-i686.cmake) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINBUILD) -j$(JOBS)

# The kit: walkexec, docmark with its header, the stand-in, the sample host,
# the man pages, the CMake package and the pkg-config file.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

demo: build
	scripts/demo.sh $(BUILD)

bench: build
	bench/walkexec_bench.sh $(BUILD)/bin/walkexec
	$(BUILD)/bin/docmark_bench
	bench/docmark_vs_qpdf.sh $(BUILD)

clean:
	rm -rf $(BUILD) $(WINBUILD) build-tsan
