# Front door for developers and CI. Every target installs what is missing first.
SHELL := /bin/bash
JOBS ?= 2
# The trees build side by side in one pool of JOBS jobs (each build joins
# make's job server), so that no tree's configuration or last link leaves a
# core idle; `make test` also boots the Wine prefix of the tests meanwhile.
MAKEFLAGS += --no-print-directory -j$(JOBS)

.PHONY: all deps native win32 win64 wine-template test run demo dist bench fuzz format clean

all: native win32 win64

deps:
	@scripts/install-deps

native win32 win64: deps
	@cmake --preset $@ --log-level=WARNING >/dev/null
	+@cmake --build --preset $@

# The booted prefix every Wine suite copies its own from.
wine-template: deps
	@scripts/boot-wine-template

test: all wine-template
	@scripts/test-all

# SPOOLER=wine runs the program against Wine's spooler instead of a live scenario.
run: win64
	@SPOOLER=$(SPOOLER) scripts/run-program

demo: win64
	@scripts/make-demo

dist: win32
	@scripts/make-dist

bench: deps win64
	@cmake --preset bench --log-level=WARNING >/dev/null
	+@cmake --build --preset bench
	@scripts/run-bench

# Not part of test or CI: each libFuzzer target runs FUZZ_SECONDS (60 by default).
FUZZ_SECONDS ?= 60
fuzz:
	@scripts/install-deps fuzz
	@cmake --preset fuzz --log-level=WARNING >/dev/null
	+@cmake --build --preset fuzz
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzz

format:
	@clang-format -i $$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp')

clean:
	rm -rf build/native build/win32 build/win64 build/bench build/fuzz build/wine build/wine-template build/demo build/demo-run build/demo-wine dist
