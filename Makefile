# Set-up, build and test entry points. `make run` and `make test` work on a fresh Debian machine:
# they install what is missing (as root through apt-get; otherwise they name the packages).

BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
BUILD_PACKAGES = cmake g++ make
TEST_PACKAGES = libgtest-dev zlib1g-dev qpdf mupdf-tools poppler-utils lintian parallel python3
BENCH_PACKAGES = bc time
QUILLMOR = $(BUILD_DIR)/quillmor

.PHONY: run test build deps test-deps configure bench install deb clean

run: deps build
	$(QUILLMOR) examples/sample.pdf sample-a4.pdf -page a4 -con -center

test: deps test-deps build
	cd $(BUILD_DIR) && ctest --output-on-failure -j$(JOBS)

build: configure
	cmake --build $(BUILD_DIR) -j$(JOBS)

configure:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

deps:
	@./.ci/install-packages $(BUILD_PACKAGES)

test-deps:
	@./.ci/install-packages $(TEST_PACKAGES)

bench: deps test-deps build
	@./.ci/install-packages $(BENCH_PACKAGES)
	./bench/run.sh $(BUILD_DIR)

# The files of the package, stripped as there: bin/quillmor, the manual page, copyright and changelog.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD_DIR) --prefix $(or $(PREFIX),/usr/local) --strip

# $(BUILD_DIR)/quillmor_<version>_<architecture>.deb
deb: build
	cd $(BUILD_DIR) && cpack -G DEB

clean:
	rm -rf $(BUILD_DIR) sample-a4.pdf
