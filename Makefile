# Developer entry points. `make check` is what CI runs.
SHELL := /bin/bash
JOBS ?= $(shell nproc)

.PHONY: all deps build check run clean

all: build

deps:
	@scripts/install-deps

build: deps
	@cmake --preset debug >/dev/null
	@cmake --build --preset debug -j $(JOBS)

# Every test, once plain and once under AddressSanitizer + UndefinedBehaviorSanitizer.
check: deps
	@set -e; for preset in debug asan; do \
	  echo "== $$preset"; \
	  cmake --preset $$preset >/dev/null; \
	  cmake --build --preset $$preset -j $(JOBS); \
	  ctest --preset $$preset -j $(JOBS); \
	done

run: build
	@echo "The main window is not built yet; see README.md."; exit 1

clean:
	rm -rf build
