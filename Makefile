# Entry points for people and CI. Everything goes through one CMake build.
JOBS      ?= $(shell nproc)
BUILD     ?= build
ASAN      ?= build-asan
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: deps configure build test test-asan bench run fuzz clean

deps:
	@bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

test-asan: deps
	cmake -S . -B $(ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DMT_SANITIZE=ON
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L asan

bench: deps
	cmake -S . -B build-release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS)
	@for b in $$(find build-release/bench -name 'bench_*' -type f -perm -u+x | sort); do \
	  echo "== $$b"; "$$b" || exit 1; done

# Runs every fuzz target for FUZZ_SECONDS each (clang, libFuzzer, ASan+UBSan).
FUZZ_SECONDS ?= 120
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) bash scripts/fuzz

run: build
	@if [ -x $(BUILD)/marktally/shell/marktally ]; then \
	  exec $(BUILD)/marktally/shell/marktally $(ARGS); \
	else echo "make run: the program's window is not built yet"; fi

clean:
	rm -rf $(BUILD) $(ASAN) build-release build-fuzz
