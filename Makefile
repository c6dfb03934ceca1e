# make run   - install dependencies, build, start the program
# make test  - install dependencies, build, run every test
# make asan  - the tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# make bench - the micro-benchmarks
# make compare - the whole job against GraphicsMagick, ImageMagick and libvips

JOBS ?= $(shell nproc)

.PHONY: deps build run test asan bench compare fuzz clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $(JOBS)

run: build
	./build/app/dorvalune

test: build
	cd build && ctest --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DDORVALUNE_SANITIZE=ON \
	  -DDORVALUNE_BENCH=OFF -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS)

bench: build
	./build/bench/dorvalune_bench

compare: build
	/usr/bin/python3 bench/compare.py

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DDORVALUNE_FUZZ=ON -DDORVALUNE_TESTS=OFF -DDORVALUNE_BENCH=OFF -DDORVALUNE_GUI=OFF
	cmake --build build-fuzz -j $(JOBS)

clean:
	rm -rf build build-asan build-fuzz
