"""How fast and how closely two Link peers follow each other, in a private network namespace.

Runs the two-peer session of tests/link_peer.py several times (as root: it
needs ``unshare -n``) and prints, per run, the time until a tempo change by one
peer shows in the other's clock and the largest pip difference between the
peers' clocks (modulo a bar) after it.
    python bench/bench_link_follow.py [RUNS]
"""

import json
import os
import pathlib
import subprocess
import sys

PEERS = pathlib.Path(__file__).resolve().parent.parent / "tests" / "link_peer.py"
NAMESPACE = "ip link set lo up && ip route add 224.0.0.0/4 dev lo && exec \"$0\" \"$@\""


def main() -> None:
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 5
    environment = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    print("run  join s  other->this ms  this->other ms  max |pip difference|")
    for run in range(runs):
        done = subprocess.run(["unshare", "-n", "sh", "-c", NAMESPACE, sys.executable, str(PEERS), "driver"],
                              capture_output=True, text=True, timeout=180, env=environment, check=True)
        result = json.loads(done.stdout.splitlines()[-1])
        worst = max(abs(d) for key in ("joined_differences", "differences_137", "differences_90") for d in result[key])
        print(f"{run:3d}  {result['join_seconds']:6.2f}  {result['follow_seconds_137'] * 1000:14.1f}"
              f"  {result['follow_seconds_90'] * 1000:14.1f}  {worst:20d}")


if __name__ == "__main__":
    main()
