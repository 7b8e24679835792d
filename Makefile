# Entry points for people and CI. Everything goes through one CMake build.
JOBS      ?= $(shell nproc)
BUILD     ?= build
ASAN      ?= build-asan
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: deps configure build test test-asan bench run fuzz install clean

deps:
	@bash scripts/install-deps

configure: deps
	cmake -S . -B $(BUILD) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# Every suite labelled asan (model, common, toolbox, shell, framework, fuzz replays) under
# AddressSanitizer and UndefinedBehaviorSanitizer; tests/lsan.supp names the leaks skipped.
test-asan: deps
	cmake -S . -B $(ASAN) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DMT_SANITIZE=ON
	cmake --build $(ASAN) -j $(JOBS)
	cd $(ASAN) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS) -L asan

bench: deps
	cmake -S . -B build-release $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS)
	@for b in $$(find build-release/bench -name 'bench_*' -type f -perm -u+x | sort); do \
	  echo "== $$b"; "$$b" || exit 1; done

# Runs every fuzz target for FUZZ_SECONDS each with FUZZ_WORKERS processes over a shared
# corpus (clang, libFuzzer, ASan+UBSan).
FUZZ_SECONDS ?= 120
FUZZ_WORKERS ?= 4
fuzz: deps
	FUZZ_SECONDS=$(FUZZ_SECONDS) FUZZ_WORKERS=$(FUZZ_WORKERS) JOBS=$(JOBS) bash scripts/fuzz

# Only what the program needs: the program and the framework library.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target marktally vexokit
	$(BUILD)/marktally/shell/marktally $(ARGS)

# Installs the program, the framework library it opens (lib/, found through its run path,
# which names that folder alone), its guide, the desktop entry and the .mtb document type.
PREFIX ?= $(HOME)/.local
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	-update-mime-database $(DESTDIR)$(PREFIX)/share/mime
	-update-desktop-database $(DESTDIR)$(PREFIX)/share/applications

clean:
	rm -rf $(BUILD) $(ASAN) build-release build-fuzz
