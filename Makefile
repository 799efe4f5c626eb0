# The two commands of this project. Both install what they need on Debian 12 (as root).
.PHONY: check demo fuzz bench soak clean

check:  ## every test: native, sanitized, Windows under Wine, i686 compile
	bash scripts/check.sh

demo:   ## simhost and Velmora side by side under Wine
	bash scripts/demo.sh

fuzz:   ## each fuzz target for FUZZ_SECONDS (default 300)
	bash scripts/fuzz.sh $(or $(FUZZ_SECONDS),300)

bench:  ## benchmarks: native, and the refresh and idle cost under Wine; one table
	bash scripts/bench.sh

soak:   ## the long soak: 20000 refreshes under Wine, objects and memory sampled
	bash scripts/soak.sh $(SOAK_REFRESHES)

clean:
	rm -rf build out
