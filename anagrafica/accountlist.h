#pragma once
// Internal to the library: the account objects made from a list the account service answers.

#include <memory>
#include <string>
#include <vector>

#include "account.h"

namespace accountlist {

// One new T, bound from its record, for each record of a list answer; nil entries are
// skipped. The caller owns the returned accounts.
template <typename T, typename Record>
std::vector<Account *> fromRecords(const std::vector<Record *> &records)
{
    std::vector<std::unique_ptr<T>> found;
    found.reserve(records.size());
    for (const Record *record : records) {
        if (!record)
            continue;
        auto account = std::make_unique<T>();
        account->bindFrom(record);
        found.push_back(std::move(account));
    }
    std::vector<Account *> result;
    result.reserve(found.size());
    for (auto &account : found)
        result.push_back(account.release());
    return result;
}

// Takes the accounts of a list: the T among them whose user name is exactly this one,
// or none; the others are deleted.
template <typename T>
std::unique_ptr<T> withUsername(const std::vector<Account *> &found, const std::string &username)
{
    std::vector<std::unique_ptr<Account>> owned(found.begin(), found.end());
    for (auto &account : owned) {
        auto *match = dynamic_cast<T *>(account.get());
        if (match && match->username == username) {
            account.release();
            return std::unique_ptr<T>(match);
        }
    }
    return nullptr;
}

} // namespace accountlist
