# The two set-up commands: `make run` and `make test`. Both install what they need first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
WIN := build/win32
HOST := build/host
FUZZ := build/fuzz

.PHONY: all deps build win32 host fuzz test run bench package clean

all: build

deps:
	@scripts/install-deps

win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j$(JOBS)

host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j$(JOBS)

fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j$(JOBS)

build: win32 host fuzz

test: build
	scripts/run-tests

run: win32
	scripts/run-demo

bench: win32
	scripts/run-bench

package: win32
	scripts/package

clean:
	-cmake/wine-run $(WIN) --stop
	rm -rf build
