# Developer entry points. `make check` is what CI runs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 600

.PHONY: all deps build check run fuzz package windows clean

all: build

# The group of scripts/install-deps each target needs; `make deps` installs what `make
# check` needs, which is everything but the benchmarks' comparisons.
deps_build := debug
deps_run := debug
deps_check := check
deps_fuzz := check
deps_package := package
deps_windows := windows
deps:
	@scripts/install-deps $(or $(foreach goal,$(or $(MAKECMDGOALS),build),$(deps_$(goal))),check)

build: deps
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS)

# Qt for Windows, built from Debian's source once per machine (an hour on two cores; a
# cache of /var/cache/qk4410 after that), then the Windows tree configured against it.
CONFIGURE_WINDOWS = qt=$$(nice -n 5 scripts/build-qt-windows) && \
	cmake --preset windows -DQK_QT_WINDOWS="$$qt" >/dev/null

# Every test plain and under AddressSanitizer + UndefinedBehaviorSanitizer; the
# toolkit-free core and tools under ThreadSanitizer; each fuzz target for 30 seconds; the
# window, the core and the command line built for Windows and run under Wine (after the
# debug build, whose simulated device the Windows programs talk to).
check: deps
	@set -e; for preset in debug asan tsan; do \
	  echo "== $$preset"; \
	  cmake --preset $$preset >/dev/null; \
	  cmake --build --preset $$preset -j $(JOBS); \
	  ctest --preset $$preset -j $(JOBS); \
	done
	@echo "== fuzz"
	@cmake --preset fuzz -DQK_FUZZ_SECONDS=30 >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@ctest --preset fuzz
	@echo "== windows"
	@$(CONFIGURE_WINDOWS)
	@cmake --build --preset windows -j $(JOBS)
	@ctest --preset windows -j $(JOBS)

# The fuzz targets for longer (FUZZ_SECONDS each); new inputs stay in build/fuzz.
fuzz: deps
	@cmake --preset fuzz -DQK_FUZZ_SECONDS=$(FUZZ_SECONDS) >/dev/null
	@cmake --build --preset fuzz -j $(JOBS)
	@ctest --preset fuzz
	@cmake --preset fuzz -DQK_FUZZ_SECONDS=30 >/dev/null

# The window against a simulated device on COM1. Needs a display (X11 or Wayland).
run: deps
	@if [ -z "$${DISPLAY:-}" ] && [ -z "$${WAYLAND_DISPLAY:-}" ]; then \
	  echo "make run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2; \
	  echo "  The window needs an X11 or Wayland session; 'make check' and 'scripts/screenshot' run without one." >&2; \
	  exit 1; \
	fi
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS) --target QK4410ConfTool
	@build/debug/ui/QK4410ConfTool --demo

# A Release build packaged as a .deb in build/release (install it with apt install ./...).
# The same tree packs to the same bytes, dated with the last commit unless SOURCE_DATE_EPOCH
# is set.
package: deps
	@cmake --preset release -DQK_BUILD_TESTS=OFF -DQK_BUILD_BENCH=OFF >/dev/null
	@cmake --build --preset release -j $(JOBS)
	@cd build/release && cpack -G DEB >/dev/null && ls "$$PWD"/*.deb

# The programs for Windows: build/windows/QK4410ConfTool-<version>-windows.zip holds the
# window, the command line, Qt's DLLs, the manuals as text, the licences and a README.
windows: deps
	@$(CONFIGURE_WINDOWS)
	@cmake --build --preset windows -j $(JOBS) --target windows_zip

clean:
	rm -rf build
