# The two set-up commands: `make run` and `make test`.
BUILD ?= build
JOBS  ?= $(shell nproc)
# The sanitizer and fuzzing builds live in folders of their own.
ASAN_BUILD   ?= build-asan
FUZZ_BUILD   ?= build-fuzz
FUZZ_SECONDS ?= 300
# In CI every warning fails the build, in each build make test configures.
WERROR = $(if $(filter true,$(CI)),-DCMAKE_COMPILE_WARNING_AS_ERROR=ON)
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizers/lsan.supp

.PHONY: all deps build run test unit e2e clean

all: build

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# Without an X display the program says so in one line and exits with 1.
run: build
	@scripts/first-run.sh $(BUILD)
	cd $(BUILD) && ./tovlan

# The sanitizer and fuzzing runs come first, so the main suite's summary is
# the last thing a run prints.
test: build
	@$(MAKE) --no-print-directory asan fuzz-smoke
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

unit: build
	cd $(BUILD) && ctest --output-on-failure -L unit -j $(JOBS)

e2e: build
	cd $(BUILD) && ctest --output-on-failure -L e2e

clean:
	rm -rf $(BUILD)

.PHONY: asan fuzz-build fuzz-smoke fuzz

# The unit tests again, built with AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer; any report fails them. The end-to-end tests drive the
# normal build only.
$(ASAN_BUILD)/build.ninja: CMakeLists.txt
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug $(WERROR) \
	  -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"

asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && $(SANITIZER_ENV) ctest --output-on-failure -L unit -j $(JOBS)

# libFuzzer targets for the list and settings readers (clang, its own folder).
fuzz-build: deps
	cmake -S tests/fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ $(WERROR)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)

# About 30 s of each fuzz target, as part of `make test`.
fuzz-smoke: fuzz-build
	@scripts/fuzz.sh $(FUZZ_BUILD) 30

# A longer run: make fuzz FUZZ_SECONDS=3600
fuzz: fuzz-build
	@scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

.PHONY: bench

# Start-up, memory, idle activity and launch latency against a bare Qt
# window, on a private virtual desktop; takes about eight minutes.
bench: build
	@bench/run-bench.sh $(BUILD)

.PHONY: install uninstall

# Per user by default, so the settings file beside the program stays
# writable: make install PREFIX=/opt/tovlan for another place.
PREFIX ?= $(HOME)/.local

install: build
	cmake --install $(BUILD) --prefix "$(PREFIX)" --strip

# Removes the installed files; the settings and list files stay.
uninstall:
	cmake -DPREFIX="$(PREFIX)" -P packaging/uninstall.cmake

.PHONY: deb

# A Debian package of the build for the release it runs on:
# build/tovlan_<version>-1~deb<release>_<arch>.deb, to install
# with apt install ./build/tovlan_*.deb (README, "Installing").
deb: build
	cd $(BUILD) && cpack -G DEB

.PHONY: test-release

# The whole `make test` in a clean minimal root of another Debian release:
# make test-release RELEASE=trixie (needs root; the root is kept in
# /var/cache/tovlan, so only the first run downloads it).
RELEASE ?= trixie
test-release: deps
	@scripts/test-release.sh $(RELEASE)

.PHONY: test-desktops

# KDE Plasma and GNOME Shell (X11 and Wayland; GNOME with and without AppIndicator) and
# i3, whole, headless: not part of make test or CI, as their packages are large
# (tests/e2e/desktops-packages.txt, installed on the first run).
# make test-desktops DESKTOPS="kde-x11 i3" runs some of them.
test-desktops: build
	@scripts/test-desktops.sh $(BUILD) $(DESKTOPS)

.PHONY: screenshots

# The README's pictures, taken on a private virtual desktop.
screenshots: build
	TOVLAN_PROGRAM=$(BUILD)/tovlan tests/e2e/desktop.sh -- \
	  /usr/bin/python3 scripts/screenshots.py $(CURDIR)/docs/screenshots
