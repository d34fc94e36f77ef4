// Shared ownership the way views and bitmaps are passed around: whoever keeps
// an object calls remember(), and forget() when done; the last forget deletes.
#pragma once

class CReferenceCounter {
 public:
  CReferenceCounter() = default;
  virtual ~CReferenceCounter() = default;
  CReferenceCounter(const CReferenceCounter&) = delete;
  CReferenceCounter& operator=(const CReferenceCounter&) = delete;

  void remember() { ++references_; }
  void forget() {
    if (--references_ == 0) delete this;
  }

 private:
  int references_ = 1;
};
