// The simulated filter graph: named members, direct pin connections, and an enumeration that
// answers as DirectShow's does: the newest filter first, and out of sync once a filter has been
// added or removed.
#include <cwchar>
#include <string>

#include "platform/tuning/com/objects.h"

namespace tuning {

namespace {

struct Member {
    IBaseFilter *filter;
    std::wstring name;
};

class FilterGraph;

class EnumFilters final : public ComObject<IEnumFilters> {
public:
    explicit EnumFilters(FilterGraph *graph);
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IBaseFilter **filters, ULONG *fetched) override;
    HRESULT STDMETHODCALLTYPE Reset() override;

private:
    void final_release() override;

    FilterGraph *graph_;
    int version_;
    size_t next_ = 0;
};

class FilterGraph final : public ComObject<IGraphBuilder> {
public:
    FilterGraph() : ComObject("FilterGraph") {}

    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter *filter, LPCWSTR name) override
    {
        if (const Result injected = observe("AddFilter", [&] { return narrow(name); }))
            return injected;
        if (filter == nullptr || core_of(filter) == nullptr)
            return E_POINTER;
        if (find(filter) != nullptr)
            return VFW_E_DUPLICATE_NAME;
        // A name already taken is made unique with a number, "name 0001"; no name is the number alone.
        const std::wstring given = name != nullptr ? name : L"";
        std::wstring unique = given;
        for (int number = 1; unique.empty() || named(unique); ++number) {
            wchar_t digits[8];
            std::swprintf(digits, 8, L"%04d", number);
            unique = given.empty() ? digits : given + L" " + digits;
        }
        filter->AddRef();
        members_.insert(members_.begin(), {filter, unique});
        ++version_;
        return unique != given && !given.empty() ? VFW_S_DUPLICATE_NAME : S_OK;
    }

    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter *filter) override
    {
        const Member *member = find(filter);
        if (const Result injected =
                observe("RemoveFilter", [&] { return member != nullptr ? narrow(member->name.c_str()) : ""; }))
            return injected;
        if (member == nullptr)
            return VFW_E_NOT_FOUND;
        core_of(filter)->disconnect_all();
        filter->Release();
        members_.erase(members_.begin() + (member - members_.data()));
        ++version_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE EnumFilters(IEnumFilters **filters) override
    {
        return give_new(filters, "EnumFilters", "", [&] { return new tuning::EnumFilters(this); });
    }

    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin *out, IPin *in, const AM_MEDIA_TYPE *) override
    {
        Pin *from = dynamic_cast<Pin *>(out);
        Pin *to = dynamic_cast<Pin *>(in);
        if (const Result injected = observe("ConnectDirect", [&] { return describe(from) + " -> " + describe(to); }))
            return injected;
        if (from == nullptr || to == nullptr)
            return E_POINTER;
        if (find(from->filter()) == nullptr || find(to->filter()) == nullptr)
            return VFW_E_NOT_IN_GRAPH;
        const PinLayout &from_layout = from->core()->pins()[from->index()];
        const PinLayout &to_layout = to->core()->pins()[to->index()];
        if (!from_layout.output || to_layout.output)
            return VFW_E_INVALID_DIRECTION;
        if (from->core()->connected(from->index()) || to->core()->connected(to->index()))
            return VFW_E_ALREADY_CONNECTED;
        if (from_layout.media != to_layout.media)
            return VFW_E_NO_ACCEPTABLE_TYPES;
        from->core()->connect(from->index(), to->core(), to->index());
        return S_OK;
    }

    const std::vector<Member> &members() const { return members_; }
    int version() const { return version_; }

private:
    void final_release() override
    {
        for (Member &member : members_) {
            core_of(member.filter)->disconnect_all();
            member.filter->Release();
        }
        members_.clear();
    }

    static FilterCore *core_of(IBaseFilter *filter) { return dynamic_cast<FilterCore *>(filter); }

    const Member *find(IBaseFilter *filter) const
    {
        for (const Member &member : members_)
            if (member.filter == filter)
                return &member;
        return nullptr;
    }

    bool named(const std::wstring &name) const
    {
        for (const Member &member : members_)
            if (member.name == name)
                return true;
        return false;
    }

    std::string describe(Pin *pin) const
    {
        if (pin == nullptr)
            return "?";
        const Member *member = find(pin->filter());
        const std::string filter = member != nullptr ? narrow(member->name.c_str()) : "(not in graph)";
        return filter + "." + narrow(pin->core()->pins()[pin->index()].name.c_str());
    }

    std::vector<Member> members_; // the newest first
    int version_ = 0;
};

EnumFilters::EnumFilters(FilterGraph *graph) : ComObject("EnumFilters"), graph_(graph), version_(graph->version())
{
    graph_->AddRef();
}

void EnumFilters::final_release() { graph_->Release(); }

HRESULT STDMETHODCALLTYPE EnumFilters::Next(ULONG count, IBaseFilter **filters, ULONG *fetched)
{
    if (filters == nullptr || (count != 1 && fetched == nullptr))
        return E_POINTER;
    if (fetched != nullptr)
        *fetched = 0;
    if (const Result injected = observe("EnumFilters.Next"))
        return injected;
    if (version_ != graph_->version())
        return VFW_E_ENUM_OUT_OF_SYNC;
    ULONG given = 0;
    for (; given < count && next_ < graph_->members().size(); ++given, ++next_) {
        filters[given] = graph_->members()[next_].filter;
        filters[given]->AddRef();
    }
    if (fetched != nullptr)
        *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE EnumFilters::Reset()
{
    if (const Result injected = observe("EnumFilters.Reset"))
        return injected;
    version_ = graph_->version();
    next_ = 0;
    return S_OK;
}

} // namespace

IUnknown *new_filter_graph() { return static_cast<IGraphBuilder *>(new FilterGraph); }

} // namespace tuning
