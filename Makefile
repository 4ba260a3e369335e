# Front door: `make demo` and `make test` set up everything they need.
BUILD := build
WINBUILD := build-win32
WIN64BUILD := build-win64
VERSION := $(shell awk '/^project/ { print $$3 }' CMakeLists.txt)
# The Windows kits as a Windows developer unpacks them (make kit).
WINKIT := kit/devkit-$(VERSION)-win32
WIN64KIT := kit/devkit-$(VERSION)-win64
# QPDF and Exempi built for 32- and 64-bit Windows, kept between builds and clones.
CACHE := $(or $(XDG_CACHE_HOME),$(HOME)/.cache)
WINDEPS ?= $(CACHE)/devkit-win32-deps
WIN64DEPS ?= $(CACHE)/devkit-win64-deps
JOBS := $(shell nproc)
PREFIX := /usr/local
FUZZ_SECONDS := 60
FUZZERS := fuzz_tag_value fuzz_packet_edit fuzz_wildcard fuzz_getopt fuzz_codec fuzz_document_open \
  fuzz_copy_save

.PHONY: all deps deps-windows windows-packages deps-win32 deps-win64 build check test tsan sanitize fuzz install demo demo-windows windows windows64 kit \
  bench format format-check clean

all: build

deps:
	@scripts/install-deps.sh

deps-windows: deps-win32 deps-win64

windows-packages:
	@scripts/install-deps.sh --windows

deps-win32: windows-packages
	@scripts/build-windows-deps.sh i686 $(WINDEPS)

deps-win64: windows-packages
	@scripts/build-windows-deps.sh x86_64 $(WIN64DEPS)

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS)

# The unit tests alone, in the Linux build: no Windows leg, no ThreadSanitizer.
check: build
	cd $(BUILD) && ctest -L unit -j$(JOBS) --output-on-failure

# The Windows legs: the end-to-end tests of walkexec and of the sample host run
# again against each Windows build's walkexec.exe and docmark_host.exe under
# Wine, docmark.dll's own tests there, each docmark.dll's exports and imports,
# and each kit's layout, version resources and PDBs.
test: build kit tsan
	cmake -S . -B $(BUILD) -DDEVKIT_WIN32_BIN=$(abspath $(WINBUILD))/bin \
	  -DDEVKIT_WIN64_BIN=$(abspath $(WIN64BUILD))/bin \
	  -DDEVKIT_WIN32_KIT=$(abspath $(WINKIT)) -DDEVKIT_WIN64_KIT=$(abspath $(WIN64KIT))
	cd $(BUILD) && ctest --output-on-failure

# docmark's thread test again under ThreadSanitizer, in a build of its own.
tsan: deps
	cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS=-fsanitize=thread \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=thread
	cmake --build build-tsan -j$(JOBS) --target docmark_threads_test
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R DocmarkThreads

windows: deps-win32
	cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-i686.cmake) \
	  -DDEVKIT_WIN32_DEPS=$(WINDEPS) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(WINBUILD) -j$(JOBS)

windows64: deps-win64
	cmake -S . -B $(WIN64BUILD) -DCMAKE_TOOLCHAIN_FILE=$(abspath cmake/mingw-x86_64.cmake) \
	  -DDEVKIT_WIN32_DEPS=$(WIN64DEPS) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(WIN64BUILD) -j$(JOBS)

# For each bitness a folder and a zip: the kit (bin, include, lib, share/doc)
# and, apart, its PDBs (NAME-symbols, whose bin unpacks over the kit's).
kit: windows windows64
	rm -rf kit && mkdir kit
	cmake --install $(WINBUILD) --prefix $(WINKIT)
	cmake --install $(WINBUILD) --prefix $(WINKIT)-symbols --component symbols
	cmake --install $(WIN64BUILD) --prefix $(WIN64KIT)
	cmake --install $(WIN64BUILD) --prefix $(WIN64KIT)-symbols --component symbols
	cd kit && for folder in *; do zip -qrX $$folder.zip $$folder; done

# Every test again under AddressSanitizer and UndefinedBehaviorSanitizer, in a
# build of its own; not the install checks, nor the Python host, whose
# interpreter cannot load the sanitizers' runtime first.
sanitize: deps
	cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE= \
	  -DCMAKE_CXX_FLAGS="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all" \
	  -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined \
	  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined
	cmake --build build-sanitize -j$(JOBS)
	cd build-sanitize && ctest --output-on-failure -LE install -E docmark_python_host

# Each fuzzer runs for FUZZ_SECONDS from its seed corpus in fuzz/corpus; what it
# finds new goes to build-fuzz/corpus, not into the repository.
fuzz: deps
	scripts/install-deps.sh --fuzz
	cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEVKIT_FUZZ=ON \
	  -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined \
	  -DCMAKE_SHARED_LINKER_FLAGS=-fsanitize=address,undefined
	cmake --build build-fuzz -j$(JOBS) --target $(FUZZERS)
	for f in $(FUZZERS); do mkdir -p build-fuzz/corpus/$$f && \
	  build-fuzz/bin/$$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    -artifact_prefix=build-fuzz/ \
	    build-fuzz/corpus/$$f fuzz/corpus/$$f || exit 1; done

# The kit: walkexec, docmark with its header, the stand-in, the sample host,
# the man pages, the CMake package and the pkg-config file.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# The main job on the samples, with only what it needs installed and built.
demo:
	scripts/install-deps.sh --build
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j$(JOBS) --target walkexec docmark_host
	scripts/demo.sh $(BUILD)

# The same job with the 64-bit Windows kit under Wine, and a tag read back on Linux.
demo-windows: demo windows64
	scripts/demo.sh --windows $(BUILD) $(WIN64BUILD)

# BEFORE names the builds of earlier commits, made the same way, whose whole
# writes docmark_write_bench.sh times beside this build's.
bench: build windows64
	bench/walkexec_bench.sh $(BUILD)/bin/walkexec
	$(BUILD)/bin/docmark_bench
	$(BUILD)/bin/copy_proof_bench
	bench/docmark_write_bench.sh $(BUILD) $(BEFORE)
	bench/docmark_paths_bench.sh $(BUILD) $(BEFORE)
	bench/docmark_vs_qpdf.sh $(BUILD)
	bench/docmark_bad_input.sh $(BUILD)
	bench/docmark_tree_bench.sh $(BUILD)
	bench/docmark_windows_bench.sh $(BUILD) $(WIN64BUILD)/bin

# Every C and C++ file of the checkout follows .clang-format.
FORMATTED = $(shell git ls-files '*.c' '*.cc' '*.cpp' '*.h')
format: deps
	clang-format -i $(FORMATTED)
format-check: deps
	clang-format --dry-run -Werror $(FORMATTED)

clean:
	rm -rf $(BUILD) $(WINBUILD) $(WIN64BUILD) build-tsan build-sanitize build-fuzz kit
