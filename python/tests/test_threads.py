# Two Streams used from two Python threads at once give what they give one
# after the other: the calls that draw lend the engine's streams under one
# lock, and the detectors, which run with the GIL released, draw nothing. A
# simulation holds its Streams for the whole run; others wait for it.
import threading


def session(pb, seed_offset):
    """A few series and detections on fresh Streams; everything they produced."""
    streams = pb.Streams()
    state = streams.state
    state["wPositionSeed"] += seed_offset
    streams.state = state
    alphabet = pb.standard_alphabet(streams=streams)
    results = []
    for noise in (0, 20, 40, 60):
        series = pb.make_series(alphabet, noise=noise, random_count=noise % 40 == 20, streams=streams)
        detection = pb.detect_unfixed(series.noisy, alphabet)
        recognition = pb.recognize_fixed_tuples(series.noisy, alphabet, [[1, 2], [3, 4, 5]], series.pulses)
        results.append((series.noisy.tobytes(), detection.positions.tobytes(), detection.cost,
                        recognition.recognized, [c.cost for c in recognition.chains]))
    results.append(streams.state)
    return results


def test_two_threads_give_what_they_give_one_after_the_other(pb):
    alone = [session(pb, offset) for offset in (0, 1)]
    together = [None, None]

    def run(index):
        together[index] = [session(pb, index) for _ in range(3)]

    threads = [threading.Thread(target=run, args=(i,)) for i in (0, 1)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(timeout=600)
    assert all(not t.is_alive() for t in threads)
    for index in (0, 1):
        assert together[index] == [alone[index]] * 3
    assert alone[0] != alone[1]


def test_the_module_streams_are_used_without_streams(pb):
    streams = pb.default_streams()
    start = streams.copy()
    mine = start.copy()
    assert pb.standard_alphabet().tolist() == pb.standard_alphabet(streams=mine).tolist()
    assert pb.default_streams() == mine
    assert start != mine


def test_a_simulation_holds_its_streams_until_it_ends_while_other_threads_wait(pb):
    options = dict(length=300, pulses_from=4, pulses_to=5, noise_steps=3, noise_step=30, repeats=30, threads=1)
    shared, started = pb.Streams(), threading.Event()
    runs = []
    worker = threading.Thread(target=lambda: runs.append(
        pb.simulate(streams=shared, progress=lambda done, total: started.set(), **options)))
    worker.start()
    assert started.wait(timeout=600)
    during = shared.state  # waits, without the GIL, for the run to let go of its streams
    worker.join(timeout=600)
    alone = pb.Streams()
    assert pb.simulate(streams=alone, **options).tables.tolist() == runs[0].tables.tolist()
    assert during == alone.state != pb.Streams().state
