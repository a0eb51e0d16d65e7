// Inside the Python module: the door. NumPy arrays and Python integers checked
// and converted to what the engine reads (16-bit samples, the alphabet, lists
// of etalon numbers), and results copied back into read-only NumPy arrays;
// the recorded message boxes of a call turned into its ValueError; JSON
// records turned into Python values. A few
// conversions per call, each a copy of at most a series.
#include <cstring>

#include <nlohmann/json.hpp>

#include "bridge.h"

/*---- Message boxes ----*/

void CallWindow::raiseIfShown(const char* operation) const
{
    if (boxes.count() == 0)
        return;
    const MessageRecord first = boxes.messages().front();
    std::string caption = first.hasCaption ? first.caption : std::string();
    caption.erase(0, caption.find_first_not_of(' '));
    caption.erase(caption.find_last_not_of(' ') + 1);
    std::string text = std::string(operation) + ": " + first.text;
    if (!caption.empty() && caption != operation)
        text += " (" + caption + ")";
    throw py::value_error(text);
}

/*---- Arrays at the door ----*/

namespace {

// The values of an integer array as int64, with an unsigned one above the
// int64 range refused first.
py::array_t<int64_t, py::array::c_style> int64Values(const py::array& a, const char* what)
{
    const char kind = a.dtype().kind();
    if (a.size() == 0)  // an empty list becomes a float array; it holds no value to refuse
        return py::array_t<int64_t, py::array::c_style>(0);
    if (kind != 'i' && kind != 'u')
        throw py::type_error(std::string(what) + " must be an integer array, not of dtype " +
                             py::str(a.dtype()).cast<std::string>());
    if (kind == 'u' && a.itemsize() == 8 && a.size() > 0) {
        const auto wide = py::array_t<uint64_t, py::array::c_style | py::array::forcecast>::ensure(a);
        for (py::ssize_t i = 0; i < wide.size(); i++)
            if (wide.data()[i] > 32767)
                throw py::value_error(std::string(what) + ": sample " + std::to_string(i) + " is " +
                                      std::to_string(wide.data()[i]) + ", outside the 16-bit range -32768..32767");
    }
    return py::array_t<int64_t, py::array::c_style | py::array::forcecast>::ensure(a);
}

} // namespace

std::vector<int16_t> int16Values(py::handle object, const char* what, int dimensions, std::vector<size_t>& shape)
{
    py::array a = py::array::ensure(object);
    if (!a)
        throw py::type_error(std::string(what) + " must be an integer array");
    if (a.ndim() != dimensions)
        throw py::value_error(std::string(what) + " must have " + std::to_string(dimensions) + " dimension" +
                              (dimensions == 1 ? "" : "s") + ", not " + std::to_string(a.ndim()));
    shape.assign(a.shape(), a.shape() + a.ndim());
    std::vector<int16_t> values(static_cast<size_t>(a.size()));
    if (a.dtype().is(py::dtype::of<int16_t>()) && (a.flags() & py::array::c_style)) {
        if (!values.empty())
            std::memcpy(values.data(), a.data(), values.size() * sizeof(int16_t));  // the common case: no checks needed
        return values;
    }
    const auto wide = int64Values(a, what);
    for (size_t i = 0; i < values.size(); i++) {
        const int64_t v = wide.data()[i];
        if (v < -32768 || v > 32767)
            throw py::value_error(std::string(what) + ": sample " + std::to_string(i) + " is " + std::to_string(v) +
                                  ", outside the 16-bit range -32768..32767");
        values[i] = static_cast<int16_t>(v);
    }
    return values;
}

std::vector<int16_t> int16Vector(py::handle object, const char* what)
{
    std::vector<size_t> shape;
    return int16Values(object, what, 1, shape);
}

std::vector<int32_t> intList(py::handle object, const char* what, int64_t low, int64_t high)
{
    py::array a = py::array::ensure(object);
    if (!a || a.ndim() != 1)
        throw py::value_error(std::string(what) + " must be a list of integers");
    const auto wide = int64Values(a, what);
    std::vector<int32_t> values(static_cast<size_t>(a.size()));
    for (size_t i = 0; i < values.size(); i++) {
        const int64_t v = wide.data()[i];
        if (v < low || v > high)
            throw py::value_error(std::string(what) + ": entry " + std::to_string(i) + " is " + std::to_string(v) +
                                  ", not in " + std::to_string(low) + ".." + std::to_string(high));
        values[i] = static_cast<int32_t>(v);
    }
    return values;
}

int64_t checkedInt(int64_t value, const char* what, int64_t low, int64_t high)
{
    if (value < low || value > high)
        throw py::value_error(std::string(what) + " must be in " + std::to_string(low) + ".." + std::to_string(high) +
                              ", not " + std::to_string(value));
    return value;
}

namespace {

template <typename T>
py::array readOnlyCopy(const int16_t* values, size_t count)
{
    py::array_t<T> a(static_cast<py::ssize_t>(count));
    T* out = a.mutable_data();
    for (size_t i = 0; i < count; i++)
        out[i] = values[i];
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return a;
}

} // namespace

py::array int64Array(const int16_t* values, size_t count)
{
    return readOnlyCopy<int64_t>(values, count);
}

py::array int16Array(const int16_t* values, size_t count)
{
    return readOnlyCopy<int16_t>(values, count);
}

/*---- The alphabet ----*/

std::shared_ptr<Alphabet> alphabetFrom(py::handle object)
{
    std::vector<size_t> shape;
    const std::vector<int16_t> values = int16Values(object, "alphabet", 2, shape);
    if (shape[0] < 1 || shape[0] > kAlphabetCapacity)
        throw py::value_error("alphabet must have 1..20 etalons (rows), not " + std::to_string(shape[0]));
    if (shape[1] < 1 || shape[1] > 65535)
        throw py::value_error("alphabet etalons must have 1..65535 samples (columns), not " + std::to_string(shape[1]));
    auto a = std::make_shared<Alphabet>();
    a->count = static_cast<uint16_t>(shape[0]);
    a->length = static_cast<uint16_t>(shape[1]);
    for (uint16_t i = 0; i < a->count; i++) {
        setEtalon(a->entries[i], static_cast<uint16_t>(i + 1), values.data() + size_t(i) * a->length, a->length);
    }
    return a;
}

py::array alphabetArray(const Alphabet& a)
{
    py::array_t<int16_t> out({py::ssize_t(a.count), py::ssize_t(a.length)});
    for (uint16_t i = 0; i < a.count; i++)
        std::memcpy(out.mutable_data(i, 0), a.entries[i].lpData.get(), a.length * sizeof(int16_t));
    return out;
}

/*---- JSON records ----*/

py::object jsonToPython(const nlohmann::ordered_json& j)
{
    if (j.is_object()) {
        py::dict d;
        for (const auto& [key, value] : j.items())
            d[py::str(key)] = jsonToPython(value);
        return d;
    }
    if (j.is_array()) {
        py::list l;
        for (const auto& value : j)
            l.append(jsonToPython(value));
        return l;
    }
    if (j.is_number_integer())
        return py::int_(j.get<int64_t>());
    if (j.is_string())
        return py::str(j.get<std::string>());
    return py::none();
}
