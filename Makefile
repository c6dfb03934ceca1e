# make run     - install what building needs, build, start the program
# make test    - install what the tests need too, build, run every test
# make asan    - the tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# make bench   - the micro-benchmarks
# make compare - the whole job against GraphicsMagick, ImageMagick and libvips
# make fuzz    - the libFuzzer targets (clang)
# make format  - check that every source follows .clang-format
# make install - build, then install the programs, manual pages, desktop entry
#                and icons under PREFIX (default /usr/local)
# make package - the Debian package dorvalune_<version>_<arch>.deb in build-package/
# make windows  - the Windows programs, cross-built with mingw-w64 into build-windows/,
#                packed as dist/dorvalune-windows-x64.zip
# make windows-test - the tests of the program's own code built for Windows, run under Wine
#
# CMAKE_FLAGS adds options to every configuration (CI: -DDORVALUNE_WERROR=ON).
# A build folder is configured again only when one of its options changes.

JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
RELEASE = -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)

.PHONY: build run test asan bench compare fuzz format install package windows windows-test clean

# The programs only: no GoogleTest or benchmark library needed.
build:
	@scripts/install-deps build
	@scripts/configure build $(RELEASE) $(if $(wildcard build/build.ninja),,-DDORVALUNE_TESTS=OFF -DDORVALUNE_BENCH=OFF)
	cmake --build build -j $(JOBS) --target dorvalune dorvalune-shrink

run: build
	./build/app/dorvalune

test:
	@scripts/install-deps test
	@scripts/configure build $(RELEASE) -DDORVALUNE_TESTS=ON
	cmake --build build -j $(JOBS)
	cd build && ctest --output-on-failure -j $(JOBS)

asan:
	@scripts/install-deps test
	@scripts/configure build-asan -DCMAKE_BUILD_TYPE=Debug -DDORVALUNE_SANITIZE=ON \
	  -DDORVALUNE_TESTS=ON -DDORVALUNE_BENCH=OFF "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g" $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench:
	@scripts/install-deps build bench
	@scripts/configure build $(RELEASE) -DDORVALUNE_BENCH=ON
	cmake --build build -j $(JOBS) --target dorvalune_bench
	./build/bench/dorvalune_bench

compare: build
	@scripts/install-deps compare
	/usr/bin/python3 bench/compare.py

# The Linux companion and the Windows one (from `make windows`, run under Wine)
# on the same files; docs/windows-differences.md explains what differs and why.
.PHONY: compare-windows
compare-windows: build
	@scripts/install-deps compare
	$(MAKE) windows
	/usr/bin/python3 scripts/compare-platforms.py --table build/platform-differences.tsv

fuzz:
	@scripts/install-deps build fuzz
	CC=clang CXX=clang++ scripts/configure build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DDORVALUNE_FUZZ=ON -DDORVALUNE_TESTS=OFF -DDORVALUNE_BENCH=OFF -DDORVALUNE_GUI=OFF $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS)

format:
	@scripts/install-deps format
	git ls-files '*.cpp' '*.h' '*.c' | grep -v '^tests/data/' | xargs clang-format --dry-run --Werror

PREFIX ?= /usr/local

install: build
	cmake --build build -j $(JOBS) --target dorvalune_man_pages dorvalune_icon_pngs
	cmake --install build --prefix $(PREFIX)

# A build folder of its own, for /usr, without tests or benchmarks.
package:
	@scripts/install-deps build package
	@scripts/configure build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
	  -DDORVALUNE_TESTS=OFF -DDORVALUNE_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-package -j $(JOBS) --target package

# The same sources against the system's Win32 and GDI+ (platform/api/windows).
WINDOWS = -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDORVALUNE_BENCH=OFF -DDORVALUNE_GUI=ON $(CMAKE_FLAGS)

windows:
	@scripts/install-deps windows
	@scripts/configure build-windows $(WINDOWS) $(if $(wildcard build-windows/build.ninja),,-DDORVALUNE_TESTS=OFF)
	cmake --build build-windows -j $(JOBS) --target windows_zip

# Wine runs every test program; its prefix lives in build-windows/ and is
# made on the first run.
windows-test:
	@scripts/install-deps windows
	@scripts/configure build-windows $(WINDOWS) -DDORVALUNE_TESTS=ON
	cmake --build build-windows -j $(JOBS) --target windows_tests
	cd build-windows && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf build build-asan build-fuzz build-package build-windows dist
