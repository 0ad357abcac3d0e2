# The two set-up commands of a fresh machine are `make demo` and `make test`;
# both install what is missing first (scripts/install-deps, by target).
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
PACKAGE_DIR ?= build/package

.PHONY: all deps build test test-asan demo bench fuzz format tidy clean mutate test-size \
        package package-check package-symbols

all: build

# Everything any target below needs.
deps:
	@scripts/install-deps

build:
	@scripts/install-deps build test
	cmake --preset dev >/dev/null
	cmake --build --preset dev -j $(JOBS)

test: build
	ctest --preset dev -j $(JOBS)

test-asan:
	@scripts/install-deps build test
	cmake --preset asan >/dev/null
	cmake --build --preset asan -j $(JOBS)
	ctest --preset asan -j $(JOBS)

# Builds just the tool (and the library) and runs the main job on bundled data.
demo:
	@scripts/install-deps build
	cmake --preset dev -DBUILD_TESTING=OFF >/dev/null
	cmake --build --preset dev -j $(JOBS) --target pelix
	build/dev/tools/pelix/pelix demo

bench:
	@scripts/install-deps build bench
	cmake --preset release >/dev/null
	cmake --build --preset release -j $(JOBS)
	@for b in build/release/bench/bench_*; do \
	  if [ -x "$$b" ]; then echo "== $$b"; "$$b" || exit 1; fi; done

fuzz:
	@scripts/install-deps build fuzz
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)
	@FUZZ_SECONDS=$(FUZZ_SECONDS) scripts/run-fuzzers build/fuzz

# Mutation check over the committed sample of changes (scripts/mutate-sample.tsv);
# results go to build/mutate/results.tsv. MUTATE_ARGS passes options, e.g. --jobs 1.
mutate:
	@scripts/install-deps build test
	scripts/mutate.py $(MUTATE_ARGS)

# Lines of tests/ + fuzz/ against the one-third budget; fails when over it.
test-size:
	@scripts/test-size

# Debian packages libpelix-common0, libpelix-common-dev and pelix (a Release
# build for /usr), checked with lintian and against
# debian/libpelix-common0.symbols; they land in $(PACKAGE_DIR).
package:
	@scripts/install-deps build package
	JOBS=$(JOBS) scripts/build-packages $(PACKAGE_DIR)

# Installs the packages on this machine, builds and runs a consumer and the
# tool from /usr/bin, and purges them again.
package-check: package
	scripts/check-packages $(PACKAGE_DIR)

# After a deliberate change of the library's interface: rewrites
# debian/libpelix-common0.symbols from the library of the last `make package`.
package-symbols:
	@scripts/install-deps package
	scripts/update-symbols $(PACKAGE_DIR)

format:
	@scripts/install-deps format
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy: build
	@scripts/install-deps tidy
	git ls-files '*.cpp' | grep -v -E '^(fuzz)/' | xargs clang-tidy -p build/dev --quiet

clean:
	rm -rf build
